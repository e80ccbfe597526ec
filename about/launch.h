#pragma once

#include <QString>

#include <string>

#include "session/launchcontext.h"
#include "session/shell.h"

namespace about {

// How the about window's links tell the desktop about the program they start: the
// announcement shows the program's name while it starts, and its one id serves as X11
// startup-notification id and as Wayland activation token.
inline session::LaunchAnnouncer launchAnnouncer() {
    return {[](const std::string& name) {
                const std::string id = session::announceLaunch(QString::fromStdString(name));
                return session::Activation{id, id};
            },
            [](const session::Activation& context) { session::endLaunch(context.startupId); }};
}

}  // namespace about
