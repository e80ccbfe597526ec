// The real program on the test display, driven by real input events from xdotool, heard on
// the speakers' monitor of the sound server in the environment.
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "monitorrecorder.h"
#include "platform/riffreader.h"
#include "programondisplay.h"
#include "pulseserver.h"
#include "sounds/cliptable.h"

using namespace std::chrono_literals;
using testsupport::MonitorRecorder;
using testsupport::xdotool;
using Samples = std::vector<std::int16_t>;

namespace {

constexpr int kRate = 22050;
constexpr int kWindowMs = 20;
constexpr int kSilence = 64;       // peak below which the speakers count as silent
constexpr double kMatch = 0.85;    // envelope correlation that counts as "this clip sounds"

// Loudness of consecutive 20 ms windows.
std::vector<double> envelope(const Samples& samples, int rate, std::size_t from = 0,
                             std::size_t to = SIZE_MAX) {
    const std::size_t window = std::size_t(rate) * kWindowMs / 1000;
    to = std::min(to, samples.size());
    std::vector<double> result;
    for (std::size_t start = from; start + window <= to; start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) sum += double(samples[i]) * samples[i];
        result.push_back(std::sqrt(sum / window));
    }
    return result;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b, std::size_t offset) {
    const std::size_t n = a.size();
    double meanA = 0, meanB = 0;
    for (std::size_t i = 0; i < n; ++i) meanA += a[i], meanB += b[offset + i];
    meanA /= n, meanB /= n;
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = a[i] - meanA, y = b[offset + i] - meanB;
        ab += x * y, aa += x * x, bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

struct Match {
    std::size_t window = 0;  // where in the recording's envelope the clip starts
    double score = 0;
};

// The earliest place where the clip's envelope matches the recording (a loop matches at every
// repeat), refined to the best score close by; else the best score found anywhere.
Match firstMatch(const std::vector<double>& clip, const std::vector<double>& recorded) {
    Match best;
    for (std::size_t offset = 0; offset + clip.size() <= recorded.size(); ++offset) {
        const double score = correlation(clip, recorded, offset);
        if (score > best.score) best = {offset, score};
        if (best.score > kMatch && offset > best.window + 5) break;
    }
    return best;
}

// A clip as the recording should show it: its envelope and its length in recorded samples.
struct Clip {
    std::vector<double> envelope;
    std::size_t length = 0;
};

Clip clip(int number) {
    const platform::WaveClip wave = platform::readWave(sounds::findClip(number)).clip;
    const Samples samples = testsupport::toInt16(wave.samples.data(), wave.samples.size(), wave.bitsPerSample);
    return {envelope(samples, int(wave.sampleRate)), samples.size() * kRate / wave.sampleRate};
}

// Where a clip is first heard in the recording from `from` on, in recorded samples. The
// recording's windows are tried at four phases, as a short clip may start anywhere in one.
struct Heard {
    std::size_t start = 0;
    std::size_t end = 0;
    double score = 0;
};

Heard hear(const Clip& clip, const Samples& recorded, std::size_t from, std::size_t to = SIZE_MAX) {
    const std::size_t window = std::size_t(kRate) * kWindowMs / 1000;
    Heard best;
    for (std::size_t phase = 0; phase < window; phase += window / 4) {
        const Match match = firstMatch(clip.envelope, envelope(recorded, kRate, from + phase, to));
        if (match.score > best.score) {
            const std::size_t start = from + phase + match.window * window;
            best = {start, start + clip.length, match.score};
        }
    }
    return best;
}

int peak(const Samples& samples, std::size_t from, std::size_t to = SIZE_MAX) {
    int result = 0;
    for (std::size_t i = from; i < std::min(to, samples.size()); ++i)
        result = std::max(result, std::abs(int(samples[i])));
    return result;
}

std::size_t samplesFor(std::chrono::milliseconds time) { return std::size_t(time.count()) * kRate / 1000; }

// What a window manager sends when the user clicks the close box: WM_DELETE_WINDOW.
bool requestClose(xcb_connection_t* connection, quint32 window) {
    const auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    return xcb_flush(connection) > 0;
}

// Centres of the controls, in pixels from the window's top left.
const QMap<QString, QPoint> kCentres{
    {"Command1", {180, 108}}, {"Command4", {180, 140}}, {"Command3", {180, 244}},
    {"Command2", {336, 284}}, {"cmdAbout", {336, 316}}, {"Command6", {336, 348}},
};

}  // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void soundButtonsSoundTheirClips_data();
    void soundButtonsSoundTheirClips();
    void newButtonReplacesTheLoop();
    void stopCutsTheLoopWithClicks();
    void spaceAtStartSoundsTheClicks();
    void aboutSilencesTheLoop();
    void exitAndCloseRequestEndTheProgram_data();
    void exitAndCloseRequestEndTheProgram();

private:
    void click(const QString& control);
    std::size_t clickAt(const QString& control);

    xcb_connection_t* display_ = nullptr;
    testsupport::ProgramOnDisplay program_;
    QString window_;
    std::unique_ptr<MonitorRecorder> recorder_;
};

void TestProgram::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
    QVERIFY2(!QStandardPaths::findExecutable("xdotool").isEmpty(), "xdotool is missing");
    QVERIFY2(testsupport::serverReachable(), "needs the environment's sound server");
    // Held for the whole run: an X server whose last client leaves resets itself and refuses
    // connections for a moment, which would fail the next start of the program.
    display_ = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_connection_has_error(display_));
    testsupport::pactl({"set-sink-volume", "@DEFAULT_SINK@", "100%"});
    testsupport::pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"});
}

void TestProgram::cleanupTestCase() {
    if (display_) xcb_disconnect(display_);
}

void TestProgram::init() {
    QString failure;
    QVERIFY2(program_.start(QProcessEnvironment::systemEnvironment(), {}, &failure),
             qPrintable(failure));
    window_ = program_.mainWindow();
    recorder_ = std::make_unique<MonitorRecorder>(kRate, "speakers.monitor");
    QVERIFY(recorder_->start());
}

void TestProgram::cleanup() {
    recorder_.reset();
    program_.stop();
}

void TestProgram::click(const QString& control) {
    testsupport::clickAt(window_, kCentres.value(control));
}

// Everything recorded before the click was played before it, so what the click sounds comes
// after the sample count taken just before it.
std::size_t TestProgram::clickAt(const QString& control) {
    const std::size_t before = recorder_->sampleCount();
    click(control);
    return before;
}

void TestProgram::soundButtonsSoundTheirClips_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("clip");
    QTest::addColumn<int>("plays");  // how many times the clip must be heard in the recording
    QTest::newRow("traffic loops") << "Command1" << 102 << 2;
    QTest::newRow("dogs loop") << "Command4" << 103 << 3;
    QTest::newRow("answering machine once") << "Command3" << 101 << 1;
}

void TestProgram::soundButtonsSoundTheirClips() {
    QFETCH(QString, button);
    QFETCH(int, clip);
    QFETCH(int, plays);
    const Clip stored = ::clip(clip);
    const auto clipTime = std::chrono::milliseconds(stored.length * 1000 / kRate);

    const std::size_t clicked = (clickAt(button));
    QVERIFY(recorder_->record(clipTime * plays + 1500ms));
    const Samples recorded = recorder_->samples();

    // The first play starts within half a second of the click; each repeat follows at once.
    const Heard first = hear(stored, recorded, clicked);
    QVERIFY2(first.score > kMatch, qPrintable(QString::number(first.score)));
    QVERIFY(first.start - clicked < samplesFor(500ms));
    for (int repeat = 1; repeat < plays; ++repeat) {
        const std::size_t expected = first.start + repeat * stored.length;
        const Heard again = hear(stored, recorded, expected - samplesFor(60ms));
        QVERIFY2(again.score > kMatch, qPrintable(QString("repeat %1: %2").arg(repeat).arg(again.score)));
        QVERIFY(again.start < expected + samplesFor(60ms));
    }
    if (plays == 1)
        QVERIFY2(peak(recorded, first.end + samplesFor(100ms)) < kSilence, "sound after the clip ended");
}

void TestProgram::newButtonReplacesTheLoop() {
    const std::size_t dogs = (clickAt("Command4"));
    QVERIFY(recorder_->record(2000ms));
    const std::size_t traffic = (clickAt("Command1"));
    QVERIFY(recorder_->record(5000ms));
    const Samples recorded = recorder_->samples();

    const Heard before = hear(clip(103), recorded, dogs, traffic);
    QVERIFY2(before.score > kMatch, qPrintable(QString::number(before.score)));
    const Heard after = hear(clip(102), recorded, traffic);
    QVERIFY2(after.score > kMatch, qPrintable(QString::number(after.score)));
    QVERIFY(after.start - traffic < samplesFor(500ms));
}

void TestProgram::stopCutsTheLoopWithClicks() {
    clickAt("Command1");
    QVERIFY(recorder_->record(1500ms));
    const std::size_t stopped = (clickAt("Command2"));
    QVERIFY(recorder_->record(2000ms));
    const Samples recorded = recorder_->samples();
    QVERIFY(peak(recorded, 0, stopped) >= kSilence);

    const Heard clicks = hear(clip(104), recorded, stopped);
    QVERIFY2(clicks.score > kMatch, qPrintable(QString::number(clicks.score)));
    QVERIFY2(peak(recorded, clicks.end + samplesFor(100ms)) < kSilence, "the loop went on");
}

void TestProgram::spaceAtStartSoundsTheClicks() {
    xdotool({"windowfocus", "--sync", window_});
    const std::size_t pressed = recorder_->sampleCount();
    xdotool({"key", "space"});
    QVERIFY(recorder_->record(1500ms));
    const Samples recorded = recorder_->samples();
    const Heard clicks = hear(clip(104), recorded, pressed);
    QVERIFY2(clicks.score > kMatch, qPrintable(QString::number(clicks.score)));
    QVERIFY(peak(recorded, clicks.end + samplesFor(100ms)) < kSilence);
}

void TestProgram::aboutSilencesTheLoop() {
    clickAt("Command1");
    QVERIFY(recorder_->record(1500ms));
    const std::size_t about = (clickAt("cmdAbout"));
    QVERIFY(recorder_->record(1500ms));
    const Samples recorded = recorder_->samples();
    QVERIFY(peak(recorded, 0, about) >= kSilence);
    QVERIFY2(peak(recorded, about + samplesFor(300ms)) < kSilence, "still sounding after About");
    QCOMPARE(program_.process().state(), QProcess::Running);
}

void TestProgram::exitAndCloseRequestEndTheProgram_data() {
    QTest::addColumn<bool>("fromWindowSystem");
    QTest::newRow("Exit") << false;
    QTest::newRow("close request") << true;
}

void TestProgram::exitAndCloseRequestEndTheProgram() {
    QFETCH(bool, fromWindowSystem);
    clickAt("Command4");
    QVERIFY(recorder_->record(1000ms));
    const auto requested = MonitorRecorder::Clock::now();
    const std::size_t sounding = recorder_->sampleCount();
    if (fromWindowSystem)
        QVERIFY(requestClose(display_, window_.toUInt()));
    else
        click("Command6");
    QVERIFY2(program_.process().waitForFinished(1000), "still running a second after the request");
    QVERIFY(MonitorRecorder::Clock::now() - requested < 1100ms);
    QCOMPARE(program_.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(program_.process().exitCode(), 0);
    QVERIFY(recorder_->record(1000ms));
    const Samples recorded = recorder_->samples();
    QVERIFY(peak(recorded, 0, sounding) >= kSilence);
    QVERIFY2(peak(recorded, sounding + samplesFor(400ms)) < kSilence, "sound after the end");
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
