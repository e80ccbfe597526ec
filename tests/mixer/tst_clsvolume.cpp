#include <QTest>

#include <memory>

#include "memorymixerdevice.h"
#include "mixer/clsvolume.h"

using namespace platform;
using testsupport::MemoryMixerDevice;
using testsupport::mixerControl;

namespace {

constexpr std::uint32_t kSpeakers = 10, kWave = 20, kWaveIn = 30, kMic = 40;

enum : std::uint32_t {
    kSpkVol = 101, kSpkMute, kSpkBass, kSpkTreble,
    kWaveVol = 201, kWaveMuteId, kWaveBassId, kWaveTrebleId, kOutPeak,
    kInPeak = 301, kMicPeak = 401,
};

// A mixer with volume and mute on both lines and the output meter; tone controls and the two
// input meters optional.
void declareMixer(MemoryMixerDevice& m, bool tone, bool waveInMeter, bool micMeter) {
    m.addLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, kSpeakers);
    m.addLine(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, kWave);
    m.addLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kWaveIn);
    m.addLine(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, kMic);
    m.addControl(kSpeakers, mixerControl(kSpkVol, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535), 1000);
    m.addControl(kSpeakers, mixerControl(kSpkMute, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1));
    m.addControl(kWave, mixerControl(kWaveVol, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535), 2000);
    m.addControl(kWave, mixerControl(kWaveMuteId, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1));
    m.addControl(kWave, mixerControl(kOutPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, -32768, 32767));
    if (tone) {
        m.addControl(kSpeakers, mixerControl(kSpkBass, MIXERCONTROL_CONTROLTYPE_BASS, -100, 100));
        m.addControl(kSpeakers, mixerControl(kSpkTreble, MIXERCONTROL_CONTROLTYPE_TREBLE, -200, 200));
        m.addControl(kWave, mixerControl(kWaveBassId, MIXERCONTROL_CONTROLTYPE_BASS, -300, 300));
        m.addControl(kWave, mixerControl(kWaveTrebleId, MIXERCONTROL_CONTROLTYPE_TREBLE, -400, 400));
    }
    if (waveInMeter)
        m.addControl(kWaveIn, mixerControl(kInPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, -1000, 1000, 2));
    if (micMeter)
        m.addControl(kMic, mixerControl(kMicPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, -50, 50, 3));
}

}  // namespace

class TestClsVolume : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void boundsComeFromTheControls();
    void inputMeterIsTheRecordingDestinationsElseTheMicrophones_data();
    void inputMeterIsTheRecordingDestinationsElseTheMicrophones();
    void missingToneControlsAreIdentifierZero();
    void eachPropertyReadsItsControl();
    void eachPropertyWritesItsControl();
    void levelsPassUnchangedAndReadFresh();
    void muteReadsTrueOnlyForOne_data();
    void muteReadsTrueOnlyForOne();
    void failedRequestsReadZeroAndChangeNothing();
    void noMixerMeansNothingFound();
    void destructionClosesTheMixer();

private:
    std::unique_ptr<MemoryMixerDevice> device_;
};

void TestClsVolume::init() { device_ = std::make_unique<MemoryMixerDevice>(); }

void TestClsVolume::cleanup() { device_.reset(); }

void TestClsVolume::boundsComeFromTheControls() {
    declareMixer(*device_, true, true, true);
    clsVolume volume;
    QCOMPARE(volume.VolumeMin(), 0);
    QCOMPARE(volume.VolumeMax(), 65535);
    QCOMPARE(volume.WaveMin(), 0);
    QCOMPARE(volume.WaveMax(), 65535);
    QCOMPARE(volume.VolBassMin(), -100);
    QCOMPARE(volume.VolBassMax(), 100);
    QCOMPARE(volume.VolTrebleMin(), -200);
    QCOMPARE(volume.VolTrebleMax(), 200);
    QCOMPARE(volume.WaveBassMin(), -300);
    QCOMPARE(volume.WaveTrebleMin(), -400);
    QCOMPARE(volume.MinVolumeMeterOutput(), -32768);
    QCOMPARE(volume.MaxVolumeMeterOutput(), 32767);
}

void TestClsVolume::inputMeterIsTheRecordingDestinationsElseTheMicrophones_data() {
    QTest::addColumn<bool>("waveInMeter");
    QTest::addColumn<bool>("micMeter");
    QTest::addColumn<int>("maximum");
    QTest::newRow("both") << true << true << 1000;
    QTest::newRow("recording destination") << true << false << 1000;
    QTest::newRow("microphone") << false << true << 50;
    QTest::newRow("none") << false << false << 0;
}

void TestClsVolume::inputMeterIsTheRecordingDestinationsElseTheMicrophones() {
    QFETCH(bool, waveInMeter);
    QFETCH(bool, micMeter);
    QFETCH(int, maximum);
    declareMixer(*device_, false, waveInMeter, micMeter);
    clsVolume volume;
    QCOMPARE(volume.MaxVolumeMeterInput(), maximum);
    QCOMPARE(volume.MinVolumeMeterInput(), -maximum);
}

// A control that was not found has identifier 0, bounds 0 and 0, and its properties still
// send their requests, which meet whatever identifier 0 is.
void TestClsVolume::missingToneControlsAreIdentifierZero() {
    declareMixer(*device_, false, true, false);
    device_->setValue(0, 77);
    clsVolume volume;
    for (auto bound : {volume.VolBassMin(), volume.VolBassMax(), volume.VolTrebleMin(),
                       volume.VolTrebleMax(), volume.WaveBassMin(), volume.WaveTrebleMin()})
        QCOMPARE(bound, 0);
    QCOMPARE(volume.VolumeLevelBass(), 77);
    volume.WaveLevelTreble(5);
    QCOMPARE(device_->value(0), 5);
    QCOMPARE(volume.VolumeLevel(), 1000);
}

void TestClsVolume::eachPropertyReadsItsControl() {
    declareMixer(*device_, true, true, true);
    clsVolume volume;
    device_->setValue(kSpkVol, 11);
    device_->setValue(kWaveVol, 12);
    device_->setValue(kSpkBass, 13);
    device_->setValue(kSpkTreble, 14);
    device_->setValue(kWaveBassId, 15);
    device_->setValue(kWaveTrebleId, 16);
    QCOMPARE(volume.VolumeLevel(), 11);
    QCOMPARE(volume.WaveLevel(), 12);
    QCOMPARE(volume.VolumeLevelBass(), 13);
    QCOMPARE(volume.VolumeLevelTreble(), 14);
    device_->setValue(kSpkMute, 1);
    QCOMPARE(volume.VolumeMute(), true);
    QCOMPARE(volume.WaveMute(), false);
    device_->setValue(kSpkMute, 0);
    device_->setValue(kWaveMuteId, 1);
    QCOMPARE(volume.VolumeMute(), false);
    QCOMPARE(volume.WaveMute(), true);
}

// Every writable control gets a value of its own; a property that wrote another control would
// leave one of them behind.
void TestClsVolume::eachPropertyWritesItsControl() {
    declareMixer(*device_, true, true, true);
    clsVolume volume;
    volume.WaveLevel(11);
    volume.VolumeLevel(12);
    volume.WaveLevelBass(13);
    volume.VolumeLevelBass(14);
    volume.WaveLevelTreble(15);
    volume.VolumeLevelTreble(16);
    volume.VolumeMute(true);
    QCOMPARE(device_->value(kWaveVol), 11);
    QCOMPARE(device_->value(kSpkVol), 12);
    QCOMPARE(device_->value(kWaveBassId), 13);
    QCOMPARE(device_->value(kSpkBass), 14);
    QCOMPARE(device_->value(kWaveTrebleId), 15);
    QCOMPARE(device_->value(kSpkTreble), 16);
    QCOMPARE(device_->value(kSpkMute), 1);
    QCOMPARE(device_->value(kWaveMuteId), 0);
    volume.WaveMute(true);
    volume.VolumeMute(false);
    QCOMPARE(device_->value(kWaveMuteId), 1);
    QCOMPARE(device_->value(kSpkMute), 0);
}

void TestClsVolume::levelsPassUnchangedAndReadFresh() {
    declareMixer(*device_, true, true, true);
    clsVolume volume;
    QCOMPARE(volume.VolumeLevel(), 1000);
    volume.VolumeLevel(70000);  // above VolumeMax: sent as it is
    QCOMPARE(device_->value(kSpkVol), 70000);
    device_->setValue(kSpkVol, 123);  // changed behind the object's back
    QCOMPARE(volume.VolumeLevel(), 123);
    volume.WaveLevelBass(-300);
    QCOMPARE(device_->value(kWaveBassId), -300);
}

void TestClsVolume::muteReadsTrueOnlyForOne_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("muted");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("2") << 2 << false;
    QTest::newRow("-1") << -1 << false;
}

void TestClsVolume::muteReadsTrueOnlyForOne() {
    QFETCH(int, stored);
    QFETCH(bool, muted);
    declareMixer(*device_, false, true, false);
    clsVolume volume;
    device_->setValue(kSpkMute, stored);
    device_->setValue(kWaveMuteId, stored);
    QCOMPARE(volume.VolumeMute(), muted);
    QCOMPARE(volume.WaveMute(), muted);
}

void TestClsVolume::failedRequestsReadZeroAndChangeNothing() {
    declareMixer(*device_, false, true, false);
    device_->setValue(kSpkMute, 1);
    clsVolume volume;
    device_->failValueRequests(MMSYSERR_ERROR);
    QCOMPARE(volume.VolumeLevel(), 0);
    QCOMPARE(volume.VolumeMute(), false);
    volume.VolumeLevel(5);
    volume.VolumeMute(false);
    QCOMPARE(device_->value(kSpkVol), 1000);
    QCOMPARE(device_->value(kSpkMute), 1);
}

void TestClsVolume::noMixerMeansNothingFound() {
    declareMixer(*device_, true, true, true);
    device_->setOpenResult(MMSYSERR_NODRIVER);
    clsVolume volume;
    for (auto b : {volume.VolumeMin(), volume.VolumeMax(), volume.WaveMin(), volume.WaveMax(),
                   volume.VolBassMin(), volume.VolBassMax(), volume.VolTrebleMin(),
                   volume.VolTrebleMax(), volume.WaveBassMin(), volume.WaveTrebleMin()})
        QCOMPARE(b, 0);
    QCOMPARE(volume.VolumeLevel(), 0);
    QCOMPARE(volume.VolumeMute(), false);
    volume.VolumeLevel(9);
    QCOMPARE(device_->value(kSpkVol), 1000);
}

void TestClsVolume::destructionClosesTheMixer() {
    declareMixer(*device_, true, true, true);
    {
        clsVolume volume;
        volume.VolumeLevel();
        QVERIFY(device_->isOpen());
    }
    QVERIFY(!device_->isOpen());
    QCOMPARE(device_->opens(), 1);
}

QTEST_GUILESS_MAIN(TestClsVolume)
#include "tst_clsvolume.moc"
