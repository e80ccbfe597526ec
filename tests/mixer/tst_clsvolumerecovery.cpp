#include <QElapsedTimer>
#include <QTest>

#include "formsrecorders.h"
#include "mixer/clsvolume.h"
#include "platform/waveindevice.h"
#include "pulseserver.h"

using testsupport::pactl;

// Starts with no reachable server (PULSE_SERVER points nowhere): clsVolume constructs at once
// and reads nothing. Then a server of the test's own appears, is killed under a living object,
// and comes back.
class TestClsVolumeRecovery : public QObject {
    Q_OBJECT

private slots:
    void withoutServerReadsGiveNothing();
    void withoutServerEachInputReadShowsTwoBoxes();
    void survivesTheServerGoingAndComingBack();

private:
    static void touchEveryProperty(clsVolume& v);
    testsupport::SoundServer server_;
    testsupport::RecordedMessageBoxes boxes_;
};

void TestClsVolumeRecovery::touchEveryProperty(clsVolume& v) {
    v.VolumeLevel(1000);
    v.WaveLevel(1000);
    v.VolumeLevelBass(1);
    v.WaveLevelBass(1);
    v.VolumeLevelTreble(1);
    v.WaveLevelTreble(1);
    v.VolumeMute(true);
    v.WaveMute(false);
    v.VolumeLevel();
    v.WaveLevel();
    v.VolumeLevelBass();
    v.VolumeLevelTreble();
    v.VolumeMute();
    v.WaveMute();
    v.CurrentVolumeMeterOutput();
    v.CurrentVolumeMeterInput();
}

// The mixer is the sound server whenever there is one, so its controls are found without
// one; reading them gives nothing until a server answers.
void TestClsVolumeRecovery::withoutServerReadsGiveNothing() {
    QVERIFY(!testsupport::serverReachable());
    QElapsedTimer timer;
    timer.start();
    clsVolume v;
    QCOMPARE(v.VolumeMax(), 65535);
    QCOMPARE(v.VolBassMax(), 0);
    QCOMPARE(v.VolumeLevel(), 0);
    QCOMPARE(v.WaveLevel(), 0);
    QCOMPARE(v.VolumeMute(), false);
    QCOMPARE(v.WaveMute(), false);
    touchEveryProperty(v);
    // A guard against hanging on the missing server, far above what the calls take.
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString("took %1 ms").arg(timer.elapsed())));
}

void TestClsVolumeRecovery::withoutServerEachInputReadShowsTwoBoxes() {
    testsupport::RecordedMessageBoxes shown;
    char expected[200];
    platform::waveInDevice().waveInGetErrorTextA(platform::MMSYSERR_NODRIVER, expected, 200);
    clsVolume v;
    QCOMPARE(v.CurrentVolumeMeterInput(), 0);
    QCOMPARE(shown.texts.size(), 2);
    QCOMPARE(v.CurrentVolumeMeterInput(), 0);
    QCOMPARE(shown.texts, QStringList(4, QString::fromUtf8(expected)));
    QCOMPARE(shown.titles, QStringList(4, "Quorvane - Mixercontrol Fehler"));
}

void TestClsVolumeRecovery::survivesTheServerGoingAndComingBack() {
    QVERIFY(server_.start());
    server_.useInThisProcess();
    clsVolume v;
    QTRY_COMPARE(v.VolumeLevel(), 65535);
    v.VolumeLevel(20000);
    QCOMPARE(v.VolumeLevel(), 20000);

    server_.kill();
    QTRY_COMPARE(v.VolumeLevel(), 0);
    QElapsedTimer timer;
    timer.start();
    touchEveryProperty(v);
    QCOMPARE(v.VolumeMute(), false);
    // Only the meter reads wait, each a bounded time; this bounds all of them.
    QVERIFY2(timer.elapsed() < 18 * 1500, qPrintable(QString("took %1 ms").arg(timer.elapsed())));

    QVERIFY(server_.start());
    pactl({"set-sink-volume", "@DEFAULT_SINK@", "50%"});
    QTRY_COMPARE(v.VolumeLevel(), 32768);
    v.VolumeMute(true);
    QTRY_VERIFY(testsupport::sinkMuted());
    v.CurrentVolumeMeterOutput();
    v.CurrentVolumeMeterInput();
}

QTEST_GUILESS_MAIN(TestClsVolumeRecovery)
#include "tst_clsvolumerecovery.moc"
