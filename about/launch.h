#pragma once

#include <QString>

#include <string>

#include "session/launchcontext.h"
#include "platform/shell.h"

namespace about {

// Announces a program that the user's latest input starts, `name` showing while it starts, and
// returns the context to start it with: the one id serves as X11 startup-notification id and
// as Wayland activation token.
inline platform::LaunchContext announceLaunch(const QString& name) {
    const std::string id = session::announceLaunch(name);
    return {id, id};
}

// Tells the window manager that an announced program did not start.
inline void cancelLaunch(const platform::LaunchContext& context) {
    session::endLaunch(context.startupId);
}

}  // namespace about
