#pragma once

#include <QString>

#include "platform/shell.h"

namespace forms {

// Starts following the user's input, whose latest time a launch context carries. Called once
// the application object exists.
void followUserInput();

// The launch context for a program that the user's latest input starts, `name` showing while
// it starts. On X11 it is a startup-notification id that carries the input's time, announced
// to the window manager, so that the program's window may come to the front; the same id
// serves as activation token for Wayland programs that an X11 window started. Elsewhere it is
// empty: this Qt offers no way to ask a Wayland compositor for an activation token.
platform::LaunchContext announceLaunch(const QString& name);

// Tells the window manager that an announced program did not start.
void cancelLaunch(const platform::LaunchContext& context);

}  // namespace forms
