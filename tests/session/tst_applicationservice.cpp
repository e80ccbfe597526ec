// One program per session: later launches of the real program on the test display, and the
// desktop's own calls over the session bus, reach the running one, heard on a sink in the dogs
// clip's own format, whose monitor shows the clip's samples as stored, give or take the master
// volume's last step.
#include <signal.h>

#include <gio/gio.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <memory>

#include "monitorrecorder.h"
#include "platform/riffreader.h"
#include "programondisplay.h"
#include "pulseserver.h"
#include "scopednullsink.h"
#include "sounds/cliptable.h"

using namespace std::chrono_literals;
using testsupport::MonitorRecorder;
using Samples = std::vector<std::int16_t>;

namespace {

constexpr int kDogsRate = 8000;
constexpr char kNoBus[] = "unix:path=/nonexistent/bus";

struct Launch {
    int code = -1;
    QString output;
    QString error;
};

QProcessEnvironment onDisplay(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) {
    environment.insert("QT_QPA_PLATFORM", "xcb");
    return environment;
}

void startOnDisplay(QProcess& process, const QStringList& arguments,
                    const QProcessEnvironment& environment = onDisplay()) {
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("QUORVANE_BINARY_DIR") + "/app/quorvane", arguments);
}

// A launch of the program that hands its request over and ends.
Launch launch(const QStringList& arguments, const QProcessEnvironment& environment = onDisplay()) {
    QProcess process;
    startOnDisplay(process, arguments, environment);
    Launch result;
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit) result.code = process.exitCode();
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.error = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QStringList windowsNamed(const QString& pattern) {
    return testsupport::xdotool({"search", "--onlyvisible", "--name", pattern})
        .split('\n', Qt::SkipEmptyParts);
}

QStringList mainWindows() { return windowsNamed("^Quorvane  \\(version"); }

// The first samples of the dogs clip that are not silence.
Samples dogsOpening() {
    const platform::WaveClip clip = platform::readWave(sounds::findClip(103)).clip;
    const Samples stored = testsupport::toInt16(clip.samples.data(), clip.samples.size(), clip.bitsPerSample);
    const std::size_t opening = *MonitorRecorder::soundStart(stored);
    return Samples(stored.begin() + opening, stored.begin() + opening + 64);
}

// Whether the clip's opening is heard from `from` on. The program keeps the master volume a
// hair below full (a whole percent times 655), so a sample may come out one 8-bit step lower.
bool heard(const Samples& recorded, const Samples& opening, std::size_t from) {
    const auto near = [](int stored, int played) { return std::abs(stored - played) <= 256; };
    for (std::size_t start = from; start + opening.size() <= recorded.size(); ++start)
        if (std::equal(opening.begin(), opening.end(), recorded.begin() + start, near)) return true;
    return false;
}

// Whether one top-level window stands above another on the screen.
bool above(xcb_connection_t* connection, xcb_window_t upper, xcb_window_t lower) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr), &free);
    const xcb_window_t* first = tree ? xcb_query_tree_children(tree.get()) : nullptr;
    const xcb_window_t* end = first ? first + xcb_query_tree_children_length(tree.get()) : nullptr;
    const xcb_window_t* upperAt = std::find(first, end, upper);  // bottom first
    return upperAt != end && std::find(first, upperAt, lower) != upperAt;
}

// Sends `count` ActivateAction calls in a row, waiting for no answer but the last's, which
// the program gives once it has taken all of them.
void flood(const char* call, int count) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    QVERIFY(bus);
    for (int i = 1; i < count; ++i)
        g_dbus_connection_call(bus, "org.example.quorvane", "/org/example/quorvane",
                               "org.freedesktop.Application", "ActivateAction", g_variant_new_parsed(call),
                               nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    GVariant* answer = g_dbus_connection_call_sync(
        bus, "org.example.quorvane", "/org/example/quorvane", "org.freedesktop.Application",
        "ActivateAction", g_variant_new_parsed(call), nullptr, G_DBUS_CALL_FLAGS_NONE, 60000, nullptr,
        nullptr);
    g_object_unref(bus);
    QVERIFY(answer);
    g_variant_unref(answer);
}

}  // namespace

class TestApplicationService : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void secondLaunchWithAnotherRuntimeFolderRaisesTheOneWindow();
    void desktopActionSoundsTheDogsAndTheCommandLineStopsThem();
    void wrongCommandLinesChangeNothing();
    void launchesAtTheSameMomentGiveOneWindow();
    void refusalsReplaceEachOtherAndAFloodIsSurvived();
    void withoutSessionBusTheProgramRunsAlone();
    void terminationSignalsCloseTheWindow();

private:
    void startProgram(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // Records two seconds more; whether the dogs sound in the recording after `from`.
    bool dogsHeardFrom(std::size_t from);

    xcb_connection_t* display_ = nullptr;
    std::unique_ptr<testsupport::ScopedNullSink> sink_;
    std::unique_ptr<MonitorRecorder> recorder_;
    testsupport::ProgramOnDisplay program_;
    const Samples dogs_ = dogsOpening();
};

void TestApplicationService::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) QSKIP("needs a session bus (scripts/test)");
    QVERIFY2(!QStandardPaths::findExecutable("xdotool").isEmpty(), "xdotool is missing");
    QVERIFY2(!QStandardPaths::findExecutable("gdbus").isEmpty(), "gdbus is missing");
    QVERIFY2(testsupport::serverReachable(), "needs the environment's sound server");
    // Held for the whole run: an X server whose last client leaves resets itself.
    display_ = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_connection_has_error(display_));
    sink_ = std::make_unique<testsupport::ScopedNullSink>("quorvane_session", kDogsRate, "u8");
    QVERIFY(sink_->isLoaded());
    recorder_ = std::make_unique<MonitorRecorder>(kDogsRate);
    QVERIFY(recorder_->start());
}

void TestApplicationService::cleanupTestCase() {
    recorder_.reset();
    sink_.reset();
    if (display_) xcb_disconnect(display_);
}

void TestApplicationService::cleanup() { program_.stop(); }

void TestApplicationService::startProgram(const QProcessEnvironment& environment) {
    QString failure;
    QVERIFY2(program_.start(environment, {}, &failure), qPrintable(failure));
}

bool TestApplicationService::dogsHeardFrom(std::size_t from) {
    return recorder_->record(2000ms) && heard(recorder_->samples(), dogs_, from);
}

void TestApplicationService::secondLaunchWithAnotherRuntimeFolderRaisesTheOneWindow() {
    startProgram();
    const xcb_window_t cover = xcb_generate_id(display_);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(display_)).data;
    xcb_create_window(display_, XCB_COPY_FROM_PARENT, cover, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(display_, cover);
    xcb_flush(display_);
    const xcb_window_t window = program_.mainWindow().toUInt();
    QTRY_VERIFY(above(display_, cover, window));

    // A sandbox or a remote shell: the same session bus, a runtime folder of its own.
    QTemporaryDir runtime;
    QProcessEnvironment elsewhere = onDisplay();
    elsewhere.insert("XDG_RUNTIME_DIR", runtime.path());
    QCOMPARE(launch({}, elsewhere).code, 0);
    QTRY_VERIFY(above(display_, window, cover));
    QCOMPARE(mainWindows(), QStringList{program_.mainWindow()});
    xcb_destroy_window(display_, cover);
    xcb_flush(display_);
}

void TestApplicationService::desktopActionSoundsTheDogsAndTheCommandLineStopsThem() {
    const Launch notRunning = launch({"--stop"});
    QCOMPARE(notRunning.code, 1);
    QCOMPARE(notRunning.error, QString("Quorvane is not running.\n"));
    startProgram();
    const std::size_t played = recorder_->sampleCount();
    QProcess gdbus;
    gdbus.start("gdbus", {"call", "--session", "--dest", "org.example.quorvane", "--object-path",
                          "/org/example/quorvane", "--method",
                          "org.freedesktop.Application.ActivateAction", "dogs", "[]", "{}"});
    QVERIFY(gdbus.waitForFinished(10000));
    QCOMPARE(gdbus.exitCode(), 0);
    QVERIFY2(dogsHeardFrom(played), "the dogs were not heard");

    const std::size_t stopped = recorder_->sampleCount();
    QCOMPARE(launch({"--stop"}).code, 0);
    QVERIFY(recorder_->record(1500ms));
    const Samples recorded = recorder_->samples();
    QVERIFY2(!heard(recorded, dogs_, stopped + kDogsRate / 2), "the dogs went on");
    QVERIFY2(!MonitorRecorder::soundStart(recorded, stopped + kDogsRate), "sound after the clicks");
}

void TestApplicationService::wrongCommandLinesChangeNothing() {
    startProgram();
    QCOMPARE(launch({"--play", "dogs"}).code, 0);
    const std::size_t refused = recorder_->sampleCount();
    for (const QStringList& wrong : {QStringList{"--play", "cat"}, {"--bogus"}, {"--calls", "maybe"},
                                     {"dogs"}, {"--play"}, {"--stop", "--play", "dogs"}}) {
        const Launch result = launch(wrong);
        QCOMPARE(result.code, 2);
        QVERIFY2(result.error.contains("--help"), qPrintable(result.error));
    }
    // Qt's own options, with their values, are no error.
    QCOMPARE(launch({"-reverse", "--qwindowtitle", "x", "-style", "Fusion", "--calls", "off"}).code, 0);
    const Launch version = launch({"--version"});
    QCOMPARE(version.code, 0);
    QVERIFY2(version.output.startsWith("quorvane 1."), qPrintable(version.output));
    const Launch help = launch({"--help"});
    QCOMPARE(help.code, 0);
    QVERIFY2(help.output.startsWith("Usage: quorvane [OPTION]"), qPrintable(help.output));
    QVERIFY2(dogsHeardFrom(refused), "the loop stopped");
    QCOMPARE(program_.process().state(), QProcess::Running);
}

void TestApplicationService::launchesAtTheSameMomentGiveOneWindow() {
    for (int round = 0; round < 2; ++round) {
        QProcess first, second;
        startOnDisplay(first, {});
        startOnDisplay(second, {});
        QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning || second.state() == QProcess::NotRunning,
                                 15000);
        QProcess& ended = first.state() == QProcess::NotRunning ? first : second;
        QCOMPARE(ended.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(mainWindows().size(), 1, 10000);
        QTest::qWait(500);
        QCOMPARE(mainWindows().size(), 1);
        for (QProcess* process : {&first, &second}) {
            process->kill();
            process->waitForFinished();
        }
    }
}

// With no sound server each "calls on" is refused; the refusals never stack, and ten thousand
// of them in a row leave the window answering.
void TestApplicationService::refusalsReplaceEachOtherAndAFloodIsSurvived() {
    QProcessEnvironment silent = QProcessEnvironment::systemEnvironment();
    silent.insert("PULSE_SERVER", "unix:/nonexistent/native");
    startProgram(silent);
    const QString refusal = "^Quorvane$";
    for (int i = 0; i < 3; ++i) QCOMPARE(launch({"--calls", "on"}).code, 0);
    QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(refusal).size(), 1, 10000);
    QTest::qWait(500);
    QCOMPARE(windowsNamed(refusal).size(), 1);

    flood("('calls', [<true>], @a{sv} {})", 10000);
    QCOMPARE(launch({}).code, 0);
    QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(refusal).size(), 1, 30000);
    QCOMPARE(program_.process().state(), QProcess::Running);
}

void TestApplicationService::withoutSessionBusTheProgramRunsAlone() {
    QProcessEnvironment noBus = onDisplay();
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", kNoBus);
    const Launch play = launch({"--play", "dogs"}, noBus);
    QCOMPARE(play.code, 1);
    QCOMPARE(play.error, QString("Quorvane cannot reach a running program: no session bus answers.\n"));

    startProgram(noBus);
    const std::size_t clicked = recorder_->sampleCount();
    const QPoint dogsButton(180, 140);
    testsupport::clickAt(program_.mainWindow(), dogsButton);
    QVERIFY2(dogsHeardFrom(clicked), "the dogs were not heard");
}

void TestApplicationService::terminationSignalsCloseTheWindow() {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        startProgram();
        kill(pid_t(program_.process().processId()), number);
        QVERIFY(program_.process().waitForFinished(5000));
        QCOMPARE(program_.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program_.process().exitCode(), 0);
    }
}

QTEST_GUILESS_MAIN(TestApplicationService)
#include "tst_applicationservice.moc"
