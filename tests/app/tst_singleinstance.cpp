// One program at a time: later launches of the real program on the test display hand their
// commands to the running one, heard on a sink in the dogs clip's own format, whose monitor
// shows the clip's samples as stored, give or take the master volume's last step.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
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

struct Launch {
    int code = -1;
    QString error;
};

// The program as started on the test display.
void startOnDisplay(QProcess& process, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("QUORVANE_BINARY_DIR") + "/app/quorvane", arguments);
}

// A launch of the program that hands its command over and ends.
Launch launch(const QStringList& arguments) {
    QProcess process;
    startOnDisplay(process, arguments);
    Launch result;
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit) result.code = process.exitCode();
    result.error = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString folder() { return qEnvironmentVariable("XDG_RUNTIME_DIR") + "/quorvane"; }

int permissions(const QString& path) {
    struct stat status {};
    return stat(path.toLocal8Bit().constData(), &status) == 0 ? int(status.st_mode & 0777) : -1;
}

QStringList mainWindows() {
    return testsupport::xdotool({"search", "--onlyvisible", "--name", "^Quorvane  \\(version"})
        .split('\n', Qt::SkipEmptyParts);
}

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

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void secondLaunchBringsTheOneWindowToTheFront();
    void commandsReachTheRunningProgram();
    void wrongCommandsLeaveTheProgramAlone();
    void withoutAProgramOnlyPlayStartsOne();
    void leftoverSocketIsTakenOver();
    void launchesAtTheSameMomentGiveOneWindow();
    void terminationSignalsCloseTheWindow();

private:
    void startProgram();
    // Records two seconds more; whether the dogs sound in the recording after `from`.
    bool dogsHeardFrom(std::size_t from);

    xcb_connection_t* display_ = nullptr;
    std::unique_ptr<testsupport::ScopedNullSink> sink_;
    std::unique_ptr<MonitorRecorder> recorder_;
    testsupport::ProgramOnDisplay program_;
    const Samples dogs_ = dogsOpening();
};

void TestSingleInstance::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
    QVERIFY2(!QStandardPaths::findExecutable("xdotool").isEmpty(), "xdotool is missing");
    QVERIFY2(testsupport::serverReachable(), "needs the environment's sound server");
    QVERIFY2(!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"), "needs a runtime folder");
    // Held for the whole run: an X server whose last client leaves resets itself.
    display_ = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_connection_has_error(display_));
    sink_ = std::make_unique<testsupport::ScopedNullSink>("quorvane_single", kDogsRate, "u8");
    QVERIFY(sink_->isLoaded());
    recorder_ = std::make_unique<MonitorRecorder>(kDogsRate);
    QVERIFY(recorder_->start());
}

void TestSingleInstance::cleanupTestCase() {
    recorder_.reset();
    sink_.reset();
    if (display_) xcb_disconnect(display_);
}

void TestSingleInstance::cleanup() { program_.stop(); }

void TestSingleInstance::startProgram() {
    QString failure;
    QVERIFY2(program_.start(QProcessEnvironment::systemEnvironment(), {}, &failure), qPrintable(failure));
}

bool TestSingleInstance::dogsHeardFrom(std::size_t from) {
    return recorder_->record(2000ms) && heard(recorder_->samples(), dogs_, from);
}

void TestSingleInstance::secondLaunchBringsTheOneWindowToTheFront() {
    startProgram();
    QCOMPARE(permissions(folder()), 0700);
    QCOMPARE(permissions(folder() + "/socket") & 077, 0);

    const xcb_window_t cover = xcb_generate_id(display_);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(display_)).data;
    xcb_create_window(display_, XCB_COPY_FROM_PARENT, cover, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(display_, cover);
    xcb_flush(display_);
    const xcb_window_t window = program_.mainWindow().toUInt();
    QTRY_VERIFY(above(display_, cover, window));

    QCOMPARE(launch({}).code, 0);
    QTRY_VERIFY(above(display_, window, cover));
    QCOMPARE(mainWindows(), QStringList{program_.mainWindow()});
    xcb_destroy_window(display_, cover);
    xcb_flush(display_);
}

void TestSingleInstance::commandsReachTheRunningProgram() {
    startProgram();
    // A client that connects and says nothing holds nobody up.
    const int silent = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, QFile::encodeName(folder() + "/socket").constData(), sizeof address.sun_path);
    QCOMPARE(::connect(silent, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const auto closeSilent = qScopeGuard([silent] { close(silent); });
    const std::size_t played = recorder_->sampleCount();
    QCOMPARE(launch({"--play", "dogs"}).code, 0);
    QVERIFY2(dogsHeardFrom(played), "the dogs were not heard");
    // Only the window's own handler knows this command; it must arrive and change nothing here.
    QCOMPARE(launch({"--calls", "off"}).code, 0);

    const std::size_t stopped = recorder_->sampleCount();
    QCOMPARE(launch({"--stop"}).code, 0);
    QVERIFY(recorder_->record(1500ms));
    const Samples recorded = recorder_->samples();
    QVERIFY2(!heard(recorded, dogs_, stopped + kDogsRate / 2), "the dogs went on");
    QVERIFY2(!MonitorRecorder::soundStart(recorded, stopped + kDogsRate), "sound after the clicks");
    QCOMPARE(program_.process().state(), QProcess::Running);
}

void TestSingleInstance::wrongCommandsLeaveTheProgramAlone() {
    startProgram();
    QCOMPARE(launch({"--play", "dogs"}).code, 0);
    const std::size_t refused = recorder_->sampleCount();
    for (const QStringList& wrong : {QStringList{"--play", "cat"}, {"--bogus"}, {"--calls", "maybe"},
                                     {"dogs"}, {"--stop", "--play", "dogs"}}) {
        const Launch result = launch(wrong);
        QCOMPARE(result.code, 2);
        QVERIFY2(result.error.contains("--help"), qPrintable(result.error));
    }
    // Qt's own options, with their values, are no error.
    QCOMPARE(launch({"-reverse", "--qwindowtitle", "x", "-style", "Fusion", "--calls", "off"}).code, 0);
    QVERIFY2(dogsHeardFrom(refused), "the loop stopped");
    QCOMPARE(program_.process().state(), QProcess::Running);
}

void TestSingleInstance::withoutAProgramOnlyPlayStartsOne() {
    for (const QStringList& needsProgram : {QStringList{"--stop"}, {"--calls", "on"}}) {
        const Launch result = launch(needsProgram);
        QCOMPARE(result.code, 1);
        QCOMPARE(result.error, QString("Quorvane is not running.\n"));
    }
    QVERIFY(mainWindows().isEmpty());

    const std::size_t before = recorder_->sampleCount();
    testsupport::ProgramOnDisplay started({}, {"--play", "dogs"});
    QString failure;
    QVERIFY2(started.start(QProcessEnvironment::systemEnvironment(), {}, &failure), qPrintable(failure));
    QVERIFY2(dogsHeardFrom(before), "the dogs were not heard");
}

void TestSingleInstance::leftoverSocketIsTakenOver() {
    startProgram();
    program_.stop();  // kill -9
    QVERIFY(QFile::exists(folder() + "/socket"));
    QCOMPARE(launch({"--stop"}).code, 1);
    startProgram();
    QCOMPARE(launch({}).code, 0);
    QCOMPARE(mainWindows().size(), 1);
}

void TestSingleInstance::launchesAtTheSameMomentGiveOneWindow() {
    for (int round = 0; round < 3; ++round) {
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

void TestSingleInstance::terminationSignalsCloseTheWindow() {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        startProgram();
        QCOMPARE(launch({"--play", "dogs"}).code, 0);
        kill(pid_t(program_.process().processId()), number);
        QVERIFY(program_.process().waitForFinished(5000));
        QCOMPARE(program_.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program_.process().exitCode(), 0);
    }
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
