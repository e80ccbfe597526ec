#include "launchcontext.h"

#include <unistd.h>

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputEvent>
#include <QPointer>
#include <QSysInfo>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace session {

namespace {

// The X server's time of the latest press or release, 0 before the first.
quint64 latestInputTime = 0;

class InputTimeFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::TouchBegin:
        case QEvent::TouchEnd:
            latestInputTime = static_cast<QInputEvent*>(event)->timestamp();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

int screenNumber() {
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    const bool parsed = xcb_parse_display(qgetenv("DISPLAY").constData(), &host, &display, &screen);
    std::free(host);
    return parsed ? screen : 0;
}

xcb_window_t rootWindow(xcb_connection_t* connection, int number) {
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < number && screen.rem > 1; ++i) xcb_screen_next(&screen);
    return screen.data->root;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A value of a startup-notification message, quoted.
QByteArray quoted(const QByteArray& value) {
    QByteArray text = value;
    text.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + text + '"';
}

// Sends a startup-notification message to the window manager: 20-byte pieces of the text and
// its NUL, from a window made for the purpose, to the root window.
void broadcast(xcb_connection_t* connection, const QByteArray& message) {
    const xcb_window_t root = rootWindow(connection, screenNumber());
    const xcb_atom_t first = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t next = atom(connection, "_NET_STARTUP_INFO");
    const xcb_window_t sender = xcb_generate_id(connection);
    const std::uint32_t overrideRedirect = 1;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, sender, root, -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
    const QByteArray text = message + '\0';
    for (qsizetype offset = 0; offset < text.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = offset == 0 ? first : next;
        std::memcpy(event.data.data8, text.constData() + offset,
                    std::size_t(std::min<qsizetype>(20, text.size() - offset)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_destroy_window(connection, sender);
    xcb_flush(connection);
}

// The time of the user's input that a startup-notification id carries ("..._TIME<time>"), or 0.
xcb_timestamp_t launchTime(const std::string& startupId) {
    const std::size_t at = startupId.rfind("_TIME");
    if (at == std::string::npos) return 0;
    bool ok = false;
    const qulonglong time = QByteArray::fromStdString(startupId.substr(at + 5)).toULongLong(&ok);
    return ok ? xcb_timestamp_t(time) : 0;
}

// Asks the window manager to activate the window on behalf of the user's input at `time`.
void requestActivation(xcb_connection_t* connection, xcb_window_t window, xcb_timestamp_t time) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(connection, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1;  // asked by an application
    event.data.data32[1] = time;
    xcb_send_event(connection, 0, rootWindow(connection, screenNumber()),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

}  // namespace

// The activation token is taken out of the environment, as GTK does: Qt would otherwise offer
// it again at a later activation that came with no token, and programs started from here
// would inherit it. The startup id stays, since Qt's X11 plugin ends its notification.
Activation thisLaunch() {
    Activation launch{qEnvironmentVariable("DESKTOP_STARTUP_ID").toStdString(),
                      qEnvironmentVariable("XDG_ACTIVATION_TOKEN").toStdString()};
    qunsetenv("XDG_ACTIVATION_TOKEN");
    return launch;
}

void followUserInput() {
    static QPointer<InputTimeFilter> filter;
    if (filter || !qApp) return;
    filter = new InputTimeFilter(qApp);
    qApp->installEventFilter(filter);
}

std::string announceLaunch(const QString& name) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return {};
    static int sequence = 0;
    QByteArray id = QCoreApplication::applicationName().toLower().toUtf8() + '-' +
                    QByteArray::number(getpid()) + '-' + QSysInfo::machineHostName().toUtf8() +
                    '-' + QByteArray::number(++sequence);
    if (latestInputTime != 0) id += "_TIME" + QByteArray::number(latestInputTime);
    QByteArray message = "new: ID=" + quoted(id) + " NAME=" + quoted(name.toUtf8()) +
                         " SCREEN=" + QByteArray::number(screenNumber());
    if (latestInputTime != 0) message += " TIMESTAMP=" + QByteArray::number(latestInputTime);
    broadcast(connection, message);
    return id.toStdString();
}

void endLaunch(const std::string& startupId) {
    xcb_connection_t* connection = x11Connection();
    if (!connection || startupId.empty()) return;
    broadcast(connection, "remove: ID=" + quoted(QByteArray::fromStdString(startupId)));
}

void bringToFront(QWindow* window, const Activation& activation) {
    // Qt's Wayland plugin activates a window with the token that this variable holds.
    if (!activation.activationToken.empty() && QGuiApplication::platformName() == "wayland")
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(activation.activationToken));
    window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    window->raise();
    window->requestActivate();
    // On X11 the desktop gives the id as both; either carries the launch's time.
    const std::string& startupId =
        activation.startupId.empty() ? activation.activationToken : activation.startupId;
    xcb_connection_t* connection = x11Connection();
    const xcb_timestamp_t time = launchTime(startupId);
    if (connection && time != 0) requestActivation(connection, xcb_window_t(window->winId()), time);
    endLaunch(startupId);
}

}  // namespace session
