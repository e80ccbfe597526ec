#pragma once

#include <string>

namespace mixer {

// A modal message box with a critical icon and one OK button; returns when it is closed.
void showCriticalMessage(const std::string& text, const std::string& title);

}  // namespace mixer
