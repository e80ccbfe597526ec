#pragma once

#include <QString>

namespace forms {

// The application title, used where a window needs the program's name.
QString applicationTitle();

// Prepares the running QApplication for the program's windows: title, look, fonts, and the
// time of the user's input that launches of other programs carry.
void initApplication();

}  // namespace forms
