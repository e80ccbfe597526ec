#include "display.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <QByteArray>
#include <QList>

#include <cstring>

namespace session {

namespace {

// The value of a toolkit option given as "-name value" or "--name value", or empty.
QByteArray option(int argc, char** argv, const char* name) {
    const QByteArray single = QByteArray("-") + name;
    const QByteArray dashed = '-' + single;
    for (int i = 1; i + 1 < argc; ++i)
        if (single == argv[i] || dashed == argv[i]) return argv[i + 1];
    return {};
}

bool x11Reachable(const QByteArray& display) {
    if (display.isEmpty()) return false;
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

// The compositor's socket: WAYLAND_DISPLAY (wayland-0 when unset) in XDG_RUNTIME_DIR, or an
// absolute path.
bool waylandReachable() {
    QByteArray path = qgetenv("WAYLAND_DISPLAY");
    if (path.isEmpty()) path = "wayland-0";
    if (!path.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) return false;
        path = runtime + '/' + path;
    }
    sockaddr_un address{};
    if (std::size_t(path.size()) >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) return false;
    const bool reachable =
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return reachable;
}

}  // namespace

bool displayReachable(int argc, char** argv) {
    QByteArray platforms = option(argc, argv, "platform");
    if (platforms.isEmpty()) platforms = qgetenv("QT_QPA_PLATFORM");
    QByteArray display = option(argc, argv, "display");
    if (display.isEmpty()) display = qgetenv("DISPLAY");
    if (platforms.isEmpty()) return x11Reachable(display) || waylandReachable();
    // A list such as "wayland;xcb" is tried in order; "name:options" carries options.
    for (const QByteArray& entry : platforms.split(';')) {
        const QByteArray name = entry.split(':').first();
        if (name == "xcb") {
            if (x11Reachable(display)) return true;
        } else if (name.startsWith("wayland")) {
            if (waylandReachable()) return true;
        } else {
            return true;
        }
    }
    return false;
}

}  // namespace session
