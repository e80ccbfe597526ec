#pragma once

#include <QString>

#include <string>

#include "request.h"

class QWindow;

namespace session {

// What the desktop handed this launch: its DESKTOP_STARTUP_ID and XDG_ACTIVATION_TOKEN.
Activation thisLaunch();

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

// Brings the window to the front: shown again if minimised, raised and activated, on behalf of
// the launch that asked for it, so that a desktop that prevents focus stealing lets it
// through. On X11 the launch's startup-notification id lends its time to the activation, and
// the launch's notification ends; on Wayland its activation token goes with the activation.
void bringToFront(QWindow* window, const Activation& activation);

}  // namespace session
