// "Play into calls" in the real program on the test display, against the sound server of the
// environment: a tone source stands in for the user's microphone, and what the virtual
// microphone and the speakers carry is recorded and told apart by the tone.
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "monitorrecorder.h"
#include "programondisplay.h"
#include "pulseserver.h"
#include "tonesource.h"

using testsupport::MonitorRecorder;
using testsupport::pactl;
using testsupport::xdotool;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 16000;
constexpr int kToneHz = 440;
const QPoint kBackground(6, 120);   // the window's own surface, left of the frames
const QPoint kDogs(180, 140);
const QPoint kExit(336, 348);

// The share of the recording's power that lies in the tone (Goertzel at its frequency).
double toneShare(const std::vector<std::int16_t>& samples) {
    if (samples.empty()) return 0;
    const double w = 2 * std::numbers::pi * kToneHz / kRate;
    double s1 = 0, s2 = 0, power = 0;
    for (std::int16_t x : samples) {
        const double s0 = x + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
        power += double(x) * x;
    }
    const double n = double(samples.size());
    const double tone = (s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) * 2 / (n * n);
    return power > 0 ? tone / (power / n) : 0;
}

double rms(const std::vector<std::int16_t>& samples) {
    double power = 0;
    for (std::int16_t x : samples) power += double(x) * x;
    return samples.empty() ? 0 : std::sqrt(power / double(samples.size()));
}

// What the program loaded: modules carrying its mark, and the devices they make.
QStringList ourModules() {
    QStringList found;
    for (const QString& line : pactl({"list", "short", "modules"}).split('\n'))
        if (line.contains("quorvane.owner=")) found << line.section('\t', 0, 0);
    return found;
}

// The level of what a recording carries beside the voice's tone, in dB of full scale.
double excuseLevel(const std::vector<std::int16_t>& samples) {
    const double besideTone = rms(samples) * std::sqrt(std::max(0.0, 1 - toneShare(samples)));
    return 20 * std::log10(std::max(besideTone, 1.0) / 32768);
}

// The program's playback stream of this name as the desktop's mixer shows it: its number and
// its volume in percent (-1 while there is none; the newest when there are more).
struct Stream {
    QString index;
    int percent = -1;
};

Stream stream(const QString& mediaName) {
    static const QRegularExpression percent(R"((\d+)%)");
    Stream found, current;
    for (const QString& line : pactl({"list", "sink-inputs"}).split('\n')) {
        if (line.startsWith("Sink Input #")) current = {line.mid(12).trimmed(), -1};
        if (line.trimmed().startsWith("Volume:"))
            current.percent = percent.match(line).captured(1).toInt();
        if (line.trimmed() == QString("media.name = \"%1\"").arg(mediaName)) found = current;
    }
    return found;
}

void setVolume(const QString& mediaName, int percent) {
    pactl({"set-sink-input-volume", stream(mediaName).index, QString::number(percent) + "%"});
}

QString defaultSource() { return pactl({"get-default-source"}).trimmed(); }

bool micPresent() { return pactl({"list", "short", "sources"}).contains("quorvane_mic"); }

// The loopback that brings the user's microphone in.
bool voiceJoined() {
    for (const QString& line : pactl({"list", "short", "modules"}).split('\n'))
        if (line.contains("module-loopback") && line.contains("quorvane.owner=")) return true;
    return false;
}

// The source a recording (a source output) is on, by name; empty when it is gone.
QString sourceOf(const QString& recording) {
    QString index;
    for (const QString& line : pactl({"list", "short", "source-outputs"}).split('\n'))
        if (line.section('\t', 0, 0) == recording) index = line.section('\t', 1, 1);
    for (const QString& line : pactl({"list", "short", "sources"}).split('\n'))
        if (!index.isEmpty() && line.section('\t', 0, 0) == index) return line.section('\t', 1, 1);
    return {};
}

// The recordings on a source.
QStringList recordingsOn(const QString& source) {
    QStringList found;
    for (const QString& line : pactl({"list", "short", "source-outputs"}).split('\n'))
        if (!line.isEmpty() && sourceOf(line.section('\t', 0, 0)) == source) found << line.section('\t', 0, 0);
    return found;
}

bool nothingLeft() { return ourModules().isEmpty() && !micPresent(); }

// What a running recorder gets in the next `span`; empty when it gets less.
std::vector<std::int16_t> nextSamples(MonitorRecorder& recorder, std::chrono::milliseconds span) {
    const std::size_t from = recorder.sampleCount();
    if (!recorder.record(span)) return {};
    const auto all = recorder.samples();
    return {all.begin() + std::ptrdiff_t(from), all.end()};
}

std::vector<std::int16_t> recordFrom(const QString& source, std::chrono::milliseconds span) {
    MonitorRecorder recorder(kRate, source.toStdString());
    if (!recorder.start()) return {};
    recorder.record(200ms);
    return nextSamples(recorder, span);
}

}  // namespace

class TestCallsMenuProgram : public QObject {
    Q_OBJECT

    testsupport::ProgramOnDisplay program_;
    std::unique_ptr<testsupport::ToneSource> tone_;

    void startProgram(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) {
        QString failure;
        QVERIFY2(program_.start(environment, {}, &failure), qPrintable(failure));
    }

    void clickAt(QPoint at, int button = 1) {
        xdotool({"mousemove", "--window", program_.mainWindow(), QString::number(at.x()),
                 QString::number(at.y()), "click", QString::number(button)});
    }

    // The context menu on the window's background, and its item by its access key.
    void togglePlayIntoCalls() {
        clickAt(kBackground, 3);
        QTest::qWait(300);
        xdotool({"key", "c"});
    }

    void startPlayingIntoCalls() {
        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        clickAt(kDogs);
        QTRY_VERIFY(stream("Quorvane into calls").percent >= 0);
    }

    // The same clip again: both streams are new, and the server has set their volumes.
    void nextClip() {
        const QString speakers = stream("Quorvane").index;
        const QString call = stream("Quorvane into calls").index;
        clickAt(kDogs);
        QTRY_VERIFY(stream("Quorvane").index != speakers &&
                    stream("Quorvane into calls").index != call);
        QTest::qWait(500);
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
        QVERIFY2(testsupport::serverReachable(), "needs the environment's sound server");
        tone_ = std::make_unique<testsupport::ToneSource>("quorvane_test_voice", kToneHz);
        QVERIFY(tone_->isReady());
        pactl({"set-default-source", tone_->sourceName()});
    }

    void cleanupTestCase() {
        pactl({"set-default-source", "mic.monitor"});
        tone_.reset();
    }

    void cleanup() {
        program_.stop();
        for (const QString& module : ourModules()) pactl({"unload-module", module});
    }

    // The microphone carries the voice and the excuse, the speakers the excuse alone; the
    // user's defaults stay as they were, and unchecking removes everything.
    void aLoopReachesTheCallWithTheVoice() {
        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        QVERIFY(pactl({"list", "sources"}).contains("Quorvane microphone"));

        clickAt(kDogs);
        QTest::qWait(300);
        const auto mic = recordFrom("quorvane_mic", 1500ms);
        const auto speakers = recordFrom("speakers.monitor", 1500ms);
        const double excuse = rms(speakers);
        const double micBesideVoice = rms(mic) * std::sqrt(std::max(0.0, 1 - toneShare(mic)));
        qInfo("microphone %.0f, tone share %.2f, beside the tone %.0f; speakers %.0f, tone share %.4f",
              rms(mic), toneShare(mic), micBesideVoice, excuse, toneShare(speakers));
        QVERIFY2(excuse > 500, "the speakers went silent");
        QVERIFY2(toneShare(speakers) < 0.01, "the voice reached the speakers");
        QVERIFY2(toneShare(mic) > 0.1, "the voice is missing from the call");
        QVERIFY2(micBesideVoice > 0.5 * excuse, "the excuse is missing from the call");

        togglePlayIntoCalls();
        QTRY_VERIFY(nothingLeft());
    }

    // The speakers' stream and the call stream each keep the volume the user sets for it in
    // the desktop's mixer, for the next clips and the next run; the call starts at 100%.
    void theCallKeepsItsOwnVolume() {
        startPlayingIntoCalls();
        const auto putBack = qScopeGuard([this] {
            cleanup();
            startPlayingIntoCalls();
            setVolume("Quorvane", 100);
            setVolume("Quorvane into calls", 100);
            QTRY_COMPARE(stream("Quorvane").percent, 100);
            QTRY_COMPARE(stream("Quorvane into calls").percent, 100);
            QTest::qWait(1500);  // the servers store what they restore a moment later
        });
        QCOMPARE(stream("Quorvane into calls").percent, 100);
        const double before = excuseLevel(recordFrom("quorvane_mic", 1500ms));

        setVolume("Quorvane", 30);
        nextClip();
        const double speakersDown = excuseLevel(recordFrom("quorvane_mic", 1500ms));
        const int callBesideSpeakersDown = stream("Quorvane into calls").percent;
        setVolume("Quorvane into calls", 50);
        nextClip();
        const double callDown = excuseLevel(recordFrom("quorvane_mic", 1500ms));
        qInfo("the excuse in the call: %.1f dBFS; %.1f after the speakers' stream went to 30%%; "
              "%.1f after the call stream went to 50%%; the speakers' stream then at %d%%",
              before, speakersDown, callDown, stream("Quorvane").percent);
        QCOMPARE(callBesideSpeakersDown, 100);
        QCOMPARE(stream("Quorvane into calls").percent, 50);
        QCOMPARE(stream("Quorvane").percent, 30);

        clickAt(kExit);
        QVERIFY(program_.process().waitForFinished(5000));
        startPlayingIntoCalls();
        QTRY_COMPARE(stream("Quorvane").percent, 30);
        QTRY_COMPARE(stream("Quorvane into calls").percent, 50);
    }

    // Quorvane microphone never becomes the default by the server's choice: not at ticking,
    // not when the user's only microphone goes away, and the user's microphone is the
    // default again when it comes back; nor does the call mix become the default sink. Chosen
    // on purpose, Quorvane microphone stays.
    void theDefaultsStayTheUsers() {
        // The later cases take the default source for the user's microphone, even after a failure.
        const auto restore = qScopeGuard([this] {
            if (tone_) pactl({"set-default-source", tone_->sourceName()});
        });
        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        QTest::qWait(500);
        QCOMPARE(defaultSource(), tone_->sourceName());
        QCOMPARE(pactl({"get-default-sink"}).trimmed(), QString("speakers"));

        const QString name = tone_->sourceName().chopped(8);
        tone_.reset();  // unplugged
        QTRY_VERIFY(!pactl({"list", "short", "sources"}).contains(name));
        QTest::qWait(1000);
        qInfo("the default source after an unplug: %s", qPrintable(defaultSource()));
        QVERIFY(!defaultSource().startsWith("quorvane"));

        tone_ = std::make_unique<testsupport::ToneSource>(name, kToneHz);
        QTRY_COMPARE(defaultSource(), tone_->sourceName());

        // The same for the speakers: a headset's sink unplugged leaves the call mix aside.
        const QString headset =
            pactl({"load-module", "module-null-sink", "sink_name=headset"}).trimmed();
        pactl({"set-default-sink", "headset"});
        QTRY_COMPARE(pactl({"get-default-sink"}).trimmed(), QString("headset"));
        pactl({"unload-module", headset});
        QTRY_VERIFY(!pactl({"list", "short", "sinks"}).contains("headset"));
        QTest::qWait(1000);
        const QString sink = pactl({"get-default-sink"}).trimmed();
        pactl({"set-default-sink", "speakers"});
        qInfo("the default sink after an unplug: %s", qPrintable(sink));
        QVERIFY(!sink.startsWith("quorvane"));

        QTest::qWait(2000);  // the user chooses a while after ticking, as in a call program
        pactl({"set-default-source", "quorvane_mic"});
        QTest::qWait(1000);
        QCOMPARE(defaultSource(), QString("quorvane_mic"));
    }

    // Exit, a logout's SIGTERM and a display that goes away remove what was loaded before the
    // process ends.
    void theEndLeavesNothingBehind() {
        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        clickAt(kExit);
        QVERIFY(program_.process().waitForFinished(5000));
        QVERIFY(nothingLeft());

        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        ::kill(pid_t(program_.process().processId()), SIGTERM);
        QVERIFY(program_.process().waitForFinished(5000));
        QVERIFY(nothingLeft());

        QProcess display;
        display.start("Xvfb",
                      {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        const auto endDisplay = qScopeGuard([&] {
            display.kill();
            display.waitForFinished(5000);
        });
        QTRY_VERIFY(display.canReadLine());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", ":" + QString::fromLatin1(display.readLine()).trimmed());
        const QString binary = qEnvironmentVariable("QUORVANE_BINARY_DIR") + "/app/quorvane";
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(binary, {"--play", "dogs"});
        QString said;
        const auto launch = [&](const QStringList& arguments) {
            QProcess later;
            later.setProcessEnvironment(environment);
            later.start(binary, arguments);
            const bool done = later.waitForFinished(5000) && later.exitCode() == 0;
            said = QString::fromLocal8Bit(later.readAllStandardError()).trimmed();
            return done;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            launch({"--calls", "on"}),
            qPrintable(QString("the launch says \"%1\"; the program %2 and says \"%3\"")
                           .arg(said, program.state() == QProcess::Running ? "runs" : "ended",
                                QString::fromLocal8Bit(program.readAllStandardError()).trimmed())),
            20000);
        QTRY_VERIFY(micPresent());
        display.kill();
        QVERIFY(program.waitForFinished(5000));
        qInfo("after the display went away: exit code %d, modules left %lld", program.exitCode(),
              qlonglong(ourModules().size()));
        QVERIFY(nothingLeft());
    }

    // The user's microphone is open only while something records from the virtual one; the
    // clips reach the mix all the time.
    void theVoiceJoinsOnlyForARecording() {
        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        QTest::qWait(1000);
        QVERIFY2(!voiceJoined(), "the user's microphone is open while nobody records");
        QVERIFY(recordingsOn(tone_->sourceName()).isEmpty());
        clickAt(kDogs);
        const auto mix = recordFrom("quorvane_call_mix.monitor", 1000ms);
        QVERIFY2(rms(mix) > 500, "the excuse is missing from the mix while nobody records");
        QVERIFY(!voiceJoined());

        auto call = std::make_unique<MonitorRecorder>(kRate, "quorvane_mic");
        QVERIFY(call->start());
        QTRY_VERIFY(voiceJoined());
        // A bounded loop, not QTRY: each look records for half a second.
        bool heard = false;
        for (int look = 0; look < 10 && !heard; ++look) heard = toneShare(nextSamples(*call, 500ms)) > 0.1;
        QVERIFY2(heard, "the voice is missing from the call");
        call.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!voiceJoined(), 10000);
        QVERIFY(recordingsOn(tone_->sourceName()).isEmpty());
    }

    // A call stays on the virtual microphone: an untick moves it to the user's microphone,
    // ticking again moves it back; a crash leaves it there and the next start takes the
    // microphone over, ticked; Exit lets it fall back. Nothing in use, a crash's leftovers go.
    void aCallStaysOnTheMicrophone() {
        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        MonitorRecorder call(kRate, "quorvane_mic");
        QVERIFY(call.start());
        QTRY_COMPARE(recordingsOn("quorvane_mic").size(), 1);
        const QString recording = recordingsOn("quorvane_mic").first();

        togglePlayIntoCalls();
        QTRY_COMPARE(sourceOf(recording), tone_->sourceName());
        togglePlayIntoCalls();
        QTRY_COMPARE(sourceOf(recording), QString("quorvane_mic"));

        ::kill(pid_t(program_.process().processId()), SIGKILL);
        QVERIFY(program_.process().waitForFinished(5000));
        const QStringList left = ourModules();
        startProgram();
        QTest::qWait(1500);
        QCOMPARE(sourceOf(recording), QString("quorvane_mic"));
        QCOMPARE(ourModules(), left);
        QVERIFY2(toneShare(nextSamples(call, 1000ms)) > 0.1, "the call lost the voice at the takeover");
        const QString owner = pactl({"list", "short", "modules"}).section("quorvane.owner=", 1, 1).left(32);
        QVERIFY2(pactl({"list", "clients"}).contains(owner), "nobody owns the microphone that was taken over");
        togglePlayIntoCalls();  // the item shows ticked: this unticks it
        QTRY_VERIFY(nothingLeft());
        QTRY_COMPARE(sourceOf(recording), tone_->sourceName());

        togglePlayIntoCalls();
        QTRY_COMPARE(sourceOf(recording), QString("quorvane_mic"));
        clickAt(kExit);
        QVERIFY(program_.process().waitForFinished(5000));
        QVERIFY(nothingLeft());
        QTRY_COMPARE(sourceOf(recording), tone_->sourceName());
        QVERIFY2(toneShare(nextSamples(call, 500ms)) > 0.1, "the call lost the voice at Exit");

        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        ::kill(pid_t(program_.process().processId()), SIGKILL);
        QVERIFY(program_.process().waitForFinished(5000));
        pactl({"move-source-output", recording, tone_->sourceName()});
        startProgram();
        QTRY_VERIFY(nothingLeft());
    }

    // Sound under bad input and faults. A microphone whose name holds blanks and an argument
    // of its own joins as itself (PulseAudio allows no blanks in names).
    void aMicrophoneNamedWithBlanksJoins() {
        if (qEnvironmentVariable("QUORVANE_SOUND_SERVER") != "pipewire") QSKIP("PipeWire allows such names");
        testsupport::ToneSource odd("my mic sink=speakers", kToneHz);
        QVERIFY(odd.isReady());
        pactl({"set-default-source", odd.sourceName()});
        const auto restore = qScopeGuard([&] { pactl({"set-default-source", tone_->sourceName()}); });
        startProgram();
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
        const auto call = recordFrom("quorvane_mic", 1000ms);
        QVERIFY2(toneShare(call) > 0.1, "the voice is missing from the call");
        QCOMPARE(recordingsOn(odd.sourceName()).size(), 1);
    }

    // Toggles as fast as keys go end with the whole microphone or none of it, never half, and
    // the item shows which: one more toggle turns it the other way. Which of the two a burst
    // ends with is not asserted: a key that comes before its menu has opened is lost, and
    // leaves that menu open.
    void aQuickBurstEndsAsTheLastCommand() {
        startProgram();
        for (int burst = 0; burst < 3; ++burst) {
            xdotool({"key", "--delay", "1", "Menu", "c", "Menu", "c", "Menu", "c"});
            QTest::qWait(1500);
            xdotool({"key", "Escape"});  // a menu whose key was lost is still open
            const qsizetype loaded = ourModules().size();
            QVERIFY2(loaded == 0 || loaded == 2, "half a microphone");
            togglePlayIntoCalls();
            if (loaded == 2)
                QTRY_VERIFY(nothingLeft());
            else
                QTRY_COMPARE(ourModules().size(), 2);
        }
        QCOMPARE(program_.windowsNamed("^Quorvane$").size(), 0);
    }

    // Another Quorvane, running under another name and apart from this session's bus, keeps its
    // microphone when this one starts; a module that got the number of one of ours after
    // someone removed that one is left alone, and the item shows that ours went.
    void anotherProgramsModulesStay() {
        QTemporaryDir folder;
        const QString other = folder.filePath("sndboard");
        QVERIFY(QFile::copy(qEnvironmentVariable("QUORVANE_BINARY_DIR") + "/app/quorvane", other));
        testsupport::ProgramOnDisplay first(other);
        QProcessEnvironment apart = QProcessEnvironment::systemEnvironment();
        apart.insert("XDG_RUNTIME_DIR", folder.path());
        apart.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder.filePath("no-bus"));
        QString failure;
        QVERIFY2(first.start(apart, {}, &failure), qPrintable(failure));
        xdotool({"mousemove", "--window", first.mainWindow(), "6", "120", "click", "3"});
        QTest::qWait(300);
        xdotool({"key", "c"});
        QTRY_VERIFY(micPresent());
        const QStringList theirs = ourModules();
        startProgram();
        QTest::qWait(1500);
        QCOMPARE(ourModules(), theirs);
        first.process().terminate();
        QVERIFY(first.process().waitForFinished(5000));
        QVERIFY(nothingLeft());

        togglePlayIntoCalls();
        QTRY_COMPARE(ourModules().size(), 2);
        QString source;
        for (const QString& line : pactl({"list", "short", "modules"}).split('\n'))
            if (line.contains("module-remap-source")) source = line.section('\t', 0, 0);
        pactl({"unload-module", source});
        const QString foreign = pactl({"load-module", "module-null-sink", "sink_name=foreign"}).trimmed();
        const auto unload = qScopeGuard([&] { pactl({"unload-module", foreign}); });
        QTRY_VERIFY(nothingLeft());
        QTest::qWait(500);
        QVERIFY(pactl({"list", "short", "modules"}).contains("sink_name=foreign"));
        togglePlayIntoCalls();
        QTRY_VERIFY(micPresent());
    }

    // A server that restarts while the item is checked gets the microphone again.
    void aRestartedServerGetsTheMicrophoneBack() {
        testsupport::SoundServer server;
        QVERIFY(server.start());
        const QByteArray suiteServer = qgetenv("PULSE_SERVER");
        const auto restore = qScopeGuard([&] { qputenv("PULSE_SERVER", suiteServer); });
        server.useInThisProcess();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        startProgram(environment);
        togglePlayIntoCalls();
        QTRY_COMPARE(ourModules().size(), 2);
        server.kill();
        QVERIFY(server.start());
        QTRY_COMPARE(ourModules().size(), 2);
        QVERIFY(micPresent());
    }

    // Without a server the item stays unchecked and a message says why: checking it again
    // shows the message again rather than unchecking it.
    void withoutAServerTheItemSaysWhy() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PULSE_SERVER", "unix:/nonexistent");
        startProgram(environment);
        for (int attempt = 0; attempt < 2; ++attempt) {
            togglePlayIntoCalls();
            QTRY_COMPARE(program_.windowsNamed("^Quorvane$").size(), 1);
            xdotool({"key", "Return"});
            QTRY_COMPARE(program_.windowsNamed("^Quorvane$").size(), 0);
        }
    }
};

int main(int argc, char** argv) {
    // Holding a connection keeps the display from resetting between program starts.
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    TestCallsMenuProgram test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_callsmenuprogram.moc"
