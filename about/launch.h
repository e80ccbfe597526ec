#pragma once

#include <QString>

#include <string>

#include "forms/launchcontext.h"
#include "session/shell.h"

namespace about {

// How the about window's links tell the desktop about the program they start: the
// announcement shows the program's name while it starts, and its one id serves as X11
// startup-notification id and as Wayland activation token.
inline session::LaunchAnnouncer launchAnnouncer() {
    return {[](const std::string& name) {
                const std::string id = forms::announceLaunch(QString::fromStdString(name));
                return session::LaunchContext{id, id};
            },
            [](const session::LaunchContext& context) { forms::endLaunch(context.startupId); }};
}

}  // namespace about
