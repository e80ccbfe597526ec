#include <QElapsedTimer>
#include <QTest>

#include "monitorrecorder.h"
#include "platform/soundplayer.h"
#include "playertestsupport.h"
#include "pulseserver.h"
#include "riffbuilder.h"

using namespace platform;
using namespace std::chrono_literals;
using testsupport::MonitorRecorder;

// Starts with no reachable server (PULSE_SERVER points nowhere), then brings one up, kills it
// and brings it back: the player fails quietly while there is none and plays again after.
class TestSoundPlayerRecovery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void callsFailQuietlyWithoutServer();
    void playsOnceAServerAppears();
    void survivesTheServerGoingAndComingBack();

private:
    bool soundsOnMonitor(std::uint32_t flags);

    riff::Module module_;
    testsupport::SoundServer server_;
};

namespace {
constexpr std::uint32_t kOnce = SND_RESOURCE | SND_ASYNC;
constexpr std::uint32_t kLoop = SND_RESOURCE | SND_ASYNC | SND_LOOP;
}  // namespace

void TestSoundPlayerRecovery::initTestCase() {
    module_.set(1, riff::wave16(cliptest::square(4000, 8000)));
}

void TestSoundPlayerRecovery::callsFailQuietlyWithoutServer() {
    QVERIFY(!testsupport::serverReachable());
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20; ++i) {
        QVERIFY(!PlaySoundA(1, &module_, kLoop));
        QVERIFY(!PlaySoundA(1, &module_, kOnce));
        QVERIFY(!PlaySoundA(999, &module_, kOnce));  // not even the default sound
        QVERIFY(!sndPlaySoundA(nullptr, SND_ASYNC));
    }
    // A guard against hanging on the missing server, far above what the calls take.
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString("took %1 ms").arg(timer.elapsed())));
}

bool TestSoundPlayerRecovery::soundsOnMonitor(std::uint32_t flags) {
    MonitorRecorder recorder;
    if (!recorder.start()) return false;
    const std::size_t from = recorder.sampleCount();
    bool started = false;
    for (int i = 0; i < 50 && !started; ++i) {  // the first call may still find the server gone
        started = PlaySoundA(1, &module_, flags);
        if (!started) QTest::qWait(100);
    }
    recorder.record(400ms);
    sndPlaySoundA(nullptr, SND_ASYNC);
    return started && MonitorRecorder::soundStart(recorder.samples(), from, 1000).has_value();
}

void TestSoundPlayerRecovery::playsOnceAServerAppears() {
    QVERIFY(server_.start());
    server_.useInThisProcess();
    QVERIFY(soundsOnMonitor(kLoop));
}

void TestSoundPlayerRecovery::survivesTheServerGoingAndComingBack() {
    QVERIFY(PlaySoundA(1, &module_, kLoop));
    server_.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!PlaySoundA(1, &module_, kLoop), 5000);
    QVERIFY(!sndPlaySoundA(nullptr, SND_ASYNC));
    QVERIFY(server_.start());
    QVERIFY(soundsOnMonitor(kOnce));
}

QTEST_GUILESS_MAIN(TestSoundPlayerRecovery)
#include "tst_soundplayerrecovery.moc"
