// A command from another launch: from starting `quorvane --play dogs` while the program runs
// to the dogs clip's first sample at the speakers, on a null sink of the benchmark's own, as
// first_sample_ms times the player alone. And a flood of the desktop's calls: from the last of
// 10,000 ActivateAction calls in a row to the window's answer to the window manager's ping.
#include <gio/gio.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QProcess>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "benchmark.h"
#include "firstsample.h"
#include "programondisplay.h"
#include "pulseserver.h"
#include "scopednullsink.h"

namespace {

using namespace std::chrono_literals;

// The stop clicks last under half a second; after them the speakers are silent.
constexpr auto kClicks = 600ms;

QString program() { return QCoreApplication::applicationDirPath() + "/../app/quorvane"; }

int launch(const QStringList& arguments) {
    QProcess process;
    process.start(program(), arguments);
    if (!process.waitForFinished(15000)) process.kill();
    process.waitForFinished();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Starts the program and waits until it answers other launches.
bool startProgram(QProcess& running) {
    running.start(program(), {});
    for (int i = 0; i < 100 && running.state() != QProcess::NotRunning; ++i) {
        if (launch({"--stop"}) == 0) {
            std::this_thread::sleep_for(kClicks);
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

constexpr int kFlood = 10000;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Sends the window the window manager's ping and waits, five seconds at most, for its answer,
// which a window gives from its event loop; the milliseconds it took, or -1.
double pingMs(xcb_window_t window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) return -1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // Where the answer goes: the root window, for whoever follows its structure.
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &events);
    const xcb_atom_t protocols = atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(connection, "_NET_WM_PING");
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = protocols;
    message.data.data32[0] = ping;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = window;
    const auto start = std::chrono::steady_clock::now();
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    double result = -1;
    while (result < 0 && std::chrono::steady_clock::now() - start < 5s) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(connection),
                                                                          &std::free);
        if (!event) {
            std::this_thread::sleep_for(100us);
            continue;
        }
        const auto* answer = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && answer->data.data32[0] == ping &&
            answer->data.data32[2] == window)
            result = bench::msBetween(start, std::chrono::steady_clock::now());
    }
    xcb_disconnect(connection);
    return result;
}

// 10,000 calls to play the dogs, sent without waiting for their answers but the last's, which
// the program gives once it has taken all of them.
bool flood() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return false;
    const auto call = [] { return g_variant_new_parsed("('dogs', @av [], @a{sv} {})"); };
    for (int i = 1; i < kFlood; ++i)
        g_dbus_connection_call(bus, "org.example.quorvane", "/org/example/quorvane",
                               "org.freedesktop.Application", "ActivateAction", call(), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    GVariant* answer = g_dbus_connection_call_sync(
        bus, "org.example.quorvane", "/org/example/quorvane", "org.freedesktop.Application",
        "ActivateAction", call(), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (answer) g_variant_unref(answer);
    g_object_unref(bus);
    return answer != nullptr;
}

void floodAnswer() {
    const QStringList windows =
        testsupport::xdotool({"search", "--onlyvisible", "--name", "^Quorvane  \\(version"}).split('\n');
    const xcb_window_t window = windows.first().toUInt();
    if (window == 0 || pingMs(window) < 0) {
        std::fprintf(stderr, "bench_remote: the window does not answer the ping\n");
        return;
    }
    if (flood()) bench::report("remote_flood_answer_ms", pingMs(window));
}

void remotePlay() {
    if (!testsupport::serverReachable()) {
        std::fprintf(stderr, "bench_remote: no sound server reachable\n");
        return;
    }
    testsupport::ScopedNullSink sink("quorvane_bench_remote", 22050);
    QProcess running;
    if (sink.isLoaded() && startProgram(running)) {
        QProcess play;
        bench::report("remote_play_ms",
                      bench::firstSampleMs([&] { play.start(program(), {"--play", "dogs"}); },
                                           [&] {
                                               play.waitForFinished();
                                               launch({"--stop"});
                                               std::this_thread::sleep_for(kClicks);
                                           },
                                           bench::openingMs(103)));
        floodAnswer();
    }
    running.terminate();
    if (!running.waitForFinished(5000)) running.kill();
    running.waitForFinished();
}

const bench::Register registration("remote", remotePlay);

}  // namespace
