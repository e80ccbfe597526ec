// The volume panel of the real program on the test display, driven by xdotool, against the
// sound server of the environment (pactl sets and reads the speakers). What the window shows
// is compared with a main window of this process in the same state, drawn the same way.
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>

#include "app/form1.h"
#include "forms/application.h"
#include "forms/checkbox.h"
#include "forms/label.h"
#include "knob/knob.h"
#include "memorymixerdevice.h"
#include "programondisplay.h"
#include "pulseserver.h"

using testsupport::pactl;
using testsupport::sinkMuted;
using testsupport::sinkVolume;
using testsupport::xdotool;

namespace {

// Knob centre and Mute box in pixels from the main window's top left.
const QPoint kKnobCentre(56 + 28, 288 + 32);
const QPoint kMuteBox(168 + 6, 336 + 8);

// The mixer's 0..65535 against the server's volume, whose 100% is 65536.
int serverVolume(int level) { return int((qint64(level) * 65536 + 65535 / 2) / 65535); }
int mixerLevel() { return int((qint64(sinkVolume()) * 65535 + 65536 / 2) / 65536); }

void setSink(int level, bool muted) {
    pactl({"set-sink-volume", "@DEFAULT_SINK@", QString::number(serverVolume(level))});
    pactl({"set-sink-mute", "@DEFAULT_SINK@", muted ? "1" : "0"});
}

// The main window as a paint draws it for a mixer at this level and mute.
class ReferenceWindow {
public:
    ReferenceWindow(std::int32_t level, bool muted) {
        mixer_.addSpeakers(level, muted);
        form_ = std::make_unique<Form1>();
        picture_ = form_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QRect areaOf(QWidget* control) const {
        return QRect(control->mapTo(form_.get(), QPoint(0, 0)), control->size());
    }
    QRect labelArea() const { return areaOf(form_->lblVolume); }
    // The box itself, without the caption that carries the focus mark.
    QRect boxArea() const {
        QStyleOptionButton option;
        option.initFrom(form_->chkVolMute);
        const QRect box = form_->chkVolMute->style()->subElementRect(
            QStyle::SE_CheckBoxIndicator, &option, form_->chkVolMute);
        return box.translated(areaOf(form_->chkVolMute).topLeft());
    }
    QRect knobArea() const { return areaOf(form_->sldMain); }
    QImage part(const QRect& area) const { return picture_.copy(area); }

private:
    testsupport::MemoryMixerDevice mixer_;
    std::unique_ptr<Form1> form_;
    QImage picture_;
};

using namespace platform;

// The server's mixer, on a main thread that is slowed down just after a read that nothing
// answered: the read returns only once the server's sink has become known meanwhile.
class MixerAnsweringLate : public platform::MixerDevice {
public:
    explicit MixerAnsweringLate(std::function<void()> letServerAnswer)
        : letServerAnswer_(std::move(letServerAnswer)) {
        connect(&server_, &MixerDevice::controlsChanged, this, &MixerDevice::controlsChanged);
        connect(&server_, &MixerDevice::answeredAtStart, this, &MixerDevice::answeredAtStart);
    }

    int unansweredReads() const { return unansweredReads_; }

    MMRESULT mixerGetControlDetailsA(HMIXER handle, std::uint32_t controlId,
                                     std::int32_t* value) override {
        const MMRESULT result = server_.mixerGetControlDetailsA(handle, controlId, value);
        if (result == MMSYSERR_NOERROR) return result;
        ++unansweredReads_;
        letServerAnswer_();
        std::int32_t known = 0;
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired();) {
            if (server_.mixerGetControlDetailsA(handle, controlId, &known) == MMSYSERR_NOERROR) break;
            QThread::msleep(10);
        }
        return result;
    }
    MMRESULT mixerOpen(HMIXER* handle, std::uint32_t deviceId) override {
        return server_.mixerOpen(handle, deviceId);
    }
    MMRESULT mixerGetLineInfoA(HMIXER handle, std::uint32_t type, MixerLine* line) override {
        return server_.mixerGetLineInfoA(handle, type, line);
    }
    MMRESULT mixerGetLineControlsA(HMIXER handle, std::uint32_t lineId, std::uint32_t type,
                                   MixerControl* control) override {
        return server_.mixerGetLineControlsA(handle, lineId, type, control);
    }
    MMRESULT mixerSetControlDetails(HMIXER handle, std::uint32_t controlId,
                                    std::int32_t value) override {
        return server_.mixerSetControlDetails(handle, controlId, value);
    }
    MMRESULT mixerClose(HMIXER handle) override { return server_.mixerClose(handle); }

private:
    platform::MixerDevice& server_ = platform::mixerDevice();
    std::function<void()> letServerAnswer_;
    int unansweredReads_ = 0;
    base::Replacement<MixerDevice> inPlace_{platform::mixerDevice, *this};
};

}  // namespace

class TestVolumePanelProgram : public QObject {
    Q_OBJECT

    testsupport::ProgramOnDisplay program_;

    void startProgram(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) {
        QString failure;
        QVERIFY2(program_.start(environment, {}, &failure), qPrintable(failure));
    }

    QImage shown(const QRect& area) {
        const WId window = program_.mainWindow().toULongLong();
        return QGuiApplication::primaryScreen()
            ->grabWindow(window, area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // The label and box show what a paint at this level and mute shows.
    bool panelShows(std::int32_t level, bool muted, bool withKnob = false) {
        ReferenceWindow reference(level, muted);
        QList<QRect> areas{reference.labelArea(), reference.boxArea()};
        if (withKnob) areas << reference.knobArea();
        for (const QRect& area : areas)
            if (shown(area) != reference.part(area)) return false;
        return true;
    }

    // Covering the window and uncovering it makes the desktop ask for a repaint.
    void exposeAnew() {
        QWidget cover;
        cover.setWindowFlags(Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
        cover.setGeometry(testsupport::windowGeometry(program_.mainWindow()));
        cover.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cover));
        QTest::qWait(200);
    }

    // A left-button drag rightwards along the top half of the knob, one pixel a move.
    void dragClockwise(int moves, const std::function<void()>& afterEachMove = [] {}) {
        const QString window = program_.mainWindow();
        const QPoint start = kKnobCentre + QPoint(-20, -20);
        xdotool({"mousemove", "--window", window, QString::number(start.x()),
                 QString::number(start.y()), "mousedown", "1"});
        for (int i = 1; i <= moves; ++i) {
            xdotool({"mousemove", "--window", window, QString::number(start.x() + i),
                     QString::number(start.y())});
            QTest::qWait(30);
            afterEachMove();
        }
        xdotool({"mouseup", "1"});
        QTest::qWait(100);
        afterEachMove();
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
        QVERIFY2(testsupport::serverReachable(), "needs the environment's sound server");
        forms::initApplication();
    }

    void cleanup() {
        program_.stop();
        setSink(65535, false);
    }

    // A paint whose read nothing answered writes nothing, even when the sink becomes known
    // before the knob's Changed reaches the mixer. Runs first: this process's own connection to
    // the server is made here, while the server stands still.
    void aReadWithoutAnAnswerIsNotWrittenWhenTheSinkComesMeanwhile() {
        setSink(80 * 655, true);
        auto stall = std::make_unique<testsupport::ServerStall>();
        if (!stall->isStalled()) QSKIP("the sound server's process is not known");
        MixerAnsweringLate mixer([&stall] { stall.reset(); });
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(mixer.unansweredReads() > 0);
        QTest::qWait(500);
        QCOMPARE(mixerLevel(), 80 * 655);
        QVERIFY(sinkMuted());
        QTRY_COMPARE(form.lblVolume->text(), QString("80%"));
    }

    void firstPaintSnapsTheSink() {
        setSink(32768, false);
        startProgram();
        QTRY_COMPARE(mixerLevel(), 32750);
        QVERIFY(!sinkMuted());
        QTRY_VERIFY(panelShows(32750, false, true));
    }

    void aMutedSinkStaysMuted() {
        setSink(655 * 20, true);
        startProgram();
        QTRY_VERIFY(panelShows(655 * 20, true, true));
        QVERIFY(sinkMuted());
        QCOMPARE(mixerLevel(), 655 * 20);
    }

    void muteBoxMutesAndUnmutesTheSink() {
        setSink(655 * 40, false);
        startProgram();
        testsupport::clickAt(program_.mainWindow(), kMuteBox);
        QTRY_VERIFY(sinkMuted());
        QTRY_VERIFY(panelShows(655 * 40, true));
        testsupport::clickAt(program_.mainWindow(), kMuteBox);
        QTRY_VERIFY(!sinkMuted());
        QTRY_VERIFY(panelShows(655 * 40, false));
        QCOMPARE(mixerLevel(), 655 * 40);
    }

    // Each step of the drag writes a whole percent; pactl sees the sink climb through them.
    void clockwiseDragRaisesTheSinkInSteps() {
        setSink(655 * 30, false);
        startProgram();
        QTRY_COMPARE(mixerLevel(), 655 * 30);
        QList<int> seen{mixerLevel()};
        dragClockwise(12, [&seen] {
            if (mixerLevel() != seen.last()) seen << mixerLevel();
        });
        const QString trace = [&] {
            QStringList values;
            for (int level : seen) values << QString::number(level);
            return values.join(' ');
        }();
        QVERIFY2(seen.size() >= 4, qPrintable(trace));
        for (qsizetype i = 1; i < seen.size(); ++i) {
            QVERIFY2(seen[i] % 655 == 0 && seen[i] > seen[i - 1], qPrintable(trace));
        }
        QVERIFY2(seen.last() >= 655 * 40, qPrintable(trace));
        QTRY_VERIFY(panelShows(seen.last(), false));
    }

    // A change made elsewhere (the desktop's slider, media keys) shows at once and is not
    // written back; the next repaint writes the whole percent back, as every paint does.
    void aChangeMadeElsewhereShowsWithoutWriteBack() {
        setSink(655 * 30, false);
        startProgram();
        QTRY_VERIFY(panelShows(655 * 30, false, true));
        setSink(45000, true);
        QTRY_VERIFY(panelShows(69 * 655, true, true));
        QTest::qWait(300);
        QCOMPARE(mixerLevel(), 45000);
        exposeAnew();
        QTRY_COMPARE(mixerLevel(), 69 * 655);
        QVERIFY(sinkMuted());
    }

    // The first paint writes the level to the loudest channel and keeps the balance.
    void firstPaintKeepsTheBalance() {
        pactl({"set-sink-volume", "@DEFAULT_SINK@", "65536", "26214"});  // 100% and 40%
        startProgram();
        QTRY_COMPARE(sinkVolume(), serverVolume(65500));
        const QList<int> channels = testsupport::sinkChannelVolumes();
        QCOMPARE(channels.size(), 2);
        QVERIFY2(qAbs(channels[1] - qRound(channels[0] * 0.4)) <= 1,
                 qPrintable(QString("%1 / %2").arg(channels[0]).arg(channels[1])));
    }

    // A boost above 100% shows as the knob's top and keeps both channels exactly, through the
    // window's opening and a repaint.
    void aBoostAboveFullIsKept() {
        pactl({"set-sink-volume", "@DEFAULT_SINK@", "150%", "120%"});
        const QList<int> boosted = testsupport::sinkChannelVolumes();
        QCOMPARE(boosted, (QList<int>{98304, 78643}));
        startProgram();
        QTRY_VERIFY(panelShows(65535, false, true));
        exposeAnew();
        QTest::qWait(500);
        QVERIFY(panelShows(65535, false, true));
        QCOMPARE(testsupport::sinkChannelVolumes(), boosted);
    }

    // While the server stands still, repaints answer from what it last showed: neither a
    // level of 0 nor an unmute reaches it afterwards.
    void aStalledServerKeepsItsLevelAndMute() {
        setSink(80 * 655, true);
        startProgram();
        QTRY_VERIFY(panelShows(80 * 655, true, true));
        {
            testsupport::ServerStall stall;
            if (!stall.isStalled()) QSKIP("the sound server's process is not known");
            exposeAnew();
            QTest::qWait(1000);
            QVERIFY(panelShows(80 * 655, true, true));
        }
        QTest::qWait(500);
        QCOMPARE(mixerLevel(), 80 * 655);
        QVERIFY(sinkMuted());
    }

    // A server that starts after the program, or comes back after a restart, is shown and not
    // written to; the Mute box reaches it. The program finds the first one only through a link
    // made once its sink is set, so that it cannot meet the server before.
    void aServerThatComesLaterIsShownNotWritten() {
        testsupport::SoundServer server;
        const QString socket = server.address().mid(int(qstrlen("unix:")));
        QTemporaryDir linkDir;
        const QString link = linkDir.path() + "/native";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PULSE_SERVER", "unix:" + link);
        startProgram(environment);
        QTRY_VERIFY(panelShows(0, false, true));

        const QByteArray suiteServer = qgetenv("PULSE_SERVER");
        const auto restore = qScopeGuard([&] { qputenv("PULSE_SERVER", suiteServer); });
        server.useInThisProcess();
        QVERIFY(server.start());
        pactl({"set-sink-volume", "@DEFAULT_SINK@", "32768"});
        pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"});
        QVERIFY(QFile::link(socket, link));
        QTRY_VERIFY(panelShows(32768, true, true));
        QTest::qWait(500);
        QCOMPARE(sinkVolume(), 32768);
        testsupport::clickAt(program_.mainWindow(), kMuteBox);
        QTRY_VERIFY(!sinkMuted());

        server.kill();
        QVERIFY(server.start());
        QTRY_VERIFY(panelShows(65535, false, true));
        QTest::qWait(500);
        QCOMPARE(sinkVolume(), 65536);
        testsupport::clickAt(program_.mainWindow(), kMuteBox);
        QTRY_VERIFY(sinkMuted());
    }

    void withoutASoundServerTheWindowStaysUsable() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PULSE_SERVER", "unix:/nonexistent");
        QElapsedTimer clock;
        clock.start();
        startProgram(environment);
        qInfo("main window after %lld ms without a sound server", clock.elapsed() - 300);
        QTRY_VERIFY(panelShows(0, false, true));
        testsupport::clickAt(program_.mainWindow(), kMuteBox);
        QTRY_VERIFY(panelShows(0, true));
        dragClockwise(8);
        QCOMPARE(program_.process().state(), QProcess::Running);
        bool turned = false;
        for (int percent = 1; percent <= 8 && !turned; ++percent)
            turned = panelShows(percent * 655, true);
        QVERIFY2(turned, "the label does not show the turned knob");
    }
};

int main(int argc, char** argv) {
    // The reference windows draw on the test display, as the program does.
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    TestVolumePanelProgram test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_volumepanelprogram.moc"
