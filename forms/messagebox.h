#pragma once

#include <QString>

namespace forms {

// A modal message box with a critical icon and one OK button; returns when it is closed.
void showCriticalMessage(const QString& title, const QString& text);

}  // namespace forms
