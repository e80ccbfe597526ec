#pragma once

#include <QString>

#include <string>

class QWidget;

namespace forms {

// Starts following the user's input, whose latest time a launch context carries. Called once
// the application object exists.
void followUserInput();

// Announces a program that the user's latest input starts, `name` showing while it starts, and
// returns the id to hand it. On X11 it is a startup-notification id that carries the input's
// time, announced to the window manager, so that the program's window may come to the front;
// the same id serves as activation token for Wayland programs that an X11 window started.
// Elsewhere it is empty: this Qt offers no way to ask a Wayland compositor for a token.
std::string announceLaunch(const QString& name);

// Ends the startup notification of `startupId`: a program announced here that did not start,
// or a launch of this program that handed its work to the running program and showed no
// window of its own.
void endLaunch(const std::string& startupId);

// Brings the window to the front: shown again if minimised, raised and activated. On X11 the
// startup-notification id of the launch that asked for it, where there is one, lends the
// launch's time to the activation, so that a window manager that prevents focus stealing
// lets it through; then the launch's notification ends.
void bringToFront(QWidget* window, const std::string& startupId);

}  // namespace forms
