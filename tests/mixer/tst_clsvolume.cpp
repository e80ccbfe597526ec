#include <QTest>

#include <memory>

#include "mixer/clsvolume.h"
#include "memorymixerdevice.h"

using namespace platform;
using testsupport::MemoryMixerDevice;
using Call = MemoryMixerDevice::Call;

namespace {

constexpr std::uint32_t kSpeakers = 10, kWave = 20, kWaveIn = 30, kMic = 40;

enum : std::uint32_t {
    kSpkVol = 101, kSpkMute, kSpkBass, kSpkTreble,
    kWaveVol = 201, kWaveMuteId, kWaveBassId, kWaveTrebleId, kOutPeak,
    kInPeak = 301, kMicPeak = 401,
};

MixerControl control(std::uint32_t id, std::uint32_t type, std::int32_t min, std::int32_t max,
                     std::uint32_t items = 0) {
    MixerControl c;
    c.dwControlID = id;
    c.dwControlType = type;
    c.Bounds.lMinimum = min;
    c.Bounds.lMaximum = max;
    c.cMultipleItems = items;
    return c;
}

// A mixer with volume and mute on both lines and the two meters; tone controls optional.
void declareMixer(MemoryMixerDevice& m, bool tone, bool waveInMeter, bool micMeter) {
    m.addLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, kSpeakers);
    m.addLine(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, kWave);
    m.addLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kWaveIn);
    m.addLine(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, kMic);
    m.addControl(kSpeakers, control(kSpkVol, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535), 1000);
    m.addControl(kSpeakers, control(kSpkMute, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1));
    m.addControl(kWave, control(kWaveVol, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535), 2000);
    m.addControl(kWave, control(kWaveMuteId, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1));
    m.addControl(kWave, control(kOutPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, -32768, 32767));
    if (tone) {
        m.addControl(kSpeakers, control(kSpkBass, MIXERCONTROL_CONTROLTYPE_BASS, -100, 100));
        m.addControl(kSpeakers, control(kSpkTreble, MIXERCONTROL_CONTROLTYPE_TREBLE, -200, 200));
        m.addControl(kWave, control(kWaveBassId, MIXERCONTROL_CONTROLTYPE_BASS, -300, 300));
        m.addControl(kWave, control(kWaveTrebleId, MIXERCONTROL_CONTROLTYPE_TREBLE, -400, 400));
    }
    if (waveInMeter)
        m.addControl(kWaveIn, control(kInPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, -1000, 1000, 2));
    if (micMeter)
        m.addControl(kMic, control(kMicPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, -50, 50, 3));
}

std::vector<Call> lookup(std::uint32_t component, std::uint32_t line, std::uint32_t type) {
    const auto h = MemoryMixerDevice::kHandle;
    return {{"mixerGetLineInfoA", {h, component}}, {"mixerGetLineControlsA", {h, line, type}}};
}

}  // namespace

class TestClsVolume : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void constructionLooksUpInOrder();
    void microphoneMeterIsTheFallback();
    void boundsComeFromTheControls();
    void missingToneControlsReadZeroAndStillSendRequests();
    void propertiesAddressTheirControls_data();
    void propertiesAddressTheirControls();
    void levelsPassUnchangedAndReadFresh();
    void muteReadsTrueOnlyForOne_data();
    void muteReadsTrueOnlyForOne();
    void failedRequestsReadZeroAndChangeNothing();
    void noMixerMeansNothingFound();
    void destructionOnlyClosesWhenIdle();

private:
    std::unique_ptr<MemoryMixerDevice> device_;
};

void TestClsVolume::init() {
    device_ = std::make_unique<MemoryMixerDevice>();
    setMixerDevice(device_.get());
}

void TestClsVolume::cleanup() {
    setMixerDevice(nullptr);
    device_.reset();
}

void TestClsVolume::constructionLooksUpInOrder() {
    declareMixer(*device_, true, true, true);
    clsVolume volume;

    const auto spk = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    const auto wave = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    std::vector<Call> expected{{"mixerOpen", {0}}};
    auto add = [&](std::vector<Call> calls) { expected.insert(expected.end(), calls.begin(), calls.end()); };
    add(lookup(spk, kSpeakers, MIXERCONTROL_CONTROLTYPE_VOLUME));
    add(lookup(wave, kWave, MIXERCONTROL_CONTROLTYPE_VOLUME));
    add(lookup(spk, kSpeakers, MIXERCONTROL_CONTROLTYPE_MUTE));
    add(lookup(wave, kWave, MIXERCONTROL_CONTROLTYPE_MUTE));
    add(lookup(spk, kSpeakers, MIXERCONTROL_CONTROLTYPE_BASS));
    add(lookup(wave, kWave, MIXERCONTROL_CONTROLTYPE_BASS));
    add(lookup(spk, kSpeakers, MIXERCONTROL_CONTROLTYPE_TREBLE));
    add(lookup(wave, kWave, MIXERCONTROL_CONTROLTYPE_TREBLE));
    // A meter on the recording destination: the microphone is never asked.
    add(lookup(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kWaveIn, MIXERCONTROL_CONTROLTYPE_PEAKMETER));
    add(lookup(wave, kWave, MIXERCONTROL_CONTROLTYPE_PEAKMETER));
    QCOMPARE(device_->calls(), expected);
}

void TestClsVolume::microphoneMeterIsTheFallback() {
    declareMixer(*device_, false, false, true);
    clsVolume volume;
    const auto& calls = device_->calls();
    const auto wavein = lookup(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kWaveIn,
                               MIXERCONTROL_CONTROLTYPE_PEAKMETER);
    const auto mic = lookup(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, kMic,
                            MIXERCONTROL_CONTROLTYPE_PEAKMETER);
    const auto wave = lookup(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, kWave,
                             MIXERCONTROL_CONTROLTYPE_PEAKMETER);
    QCOMPARE(calls.size(), std::size_t(1 + 2 * 11));
    const std::vector<Call> tail(calls.end() - 6, calls.end());
    QCOMPARE(tail, (std::vector<Call>{wavein[0], wavein[1], mic[0], mic[1], wave[0], wave[1]}));
}

void TestClsVolume::boundsComeFromTheControls() {
    declareMixer(*device_, true, true, true);
    clsVolume volume;
    device_->clearCalls();
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
    QVERIFY(device_->calls().empty());  // bounds are what construction stored
}

void TestClsVolume::missingToneControlsReadZeroAndStillSendRequests() {
    declareMixer(*device_, false, true, false);
    device_->setValue(0, 77);  // whatever a request for identifier 0 meets
    clsVolume volume;
    QCOMPARE(volume.VolBassMin(), 0);
    QCOMPARE(volume.VolBassMax(), 0);
    QCOMPARE(volume.VolTrebleMin(), 0);
    QCOMPARE(volume.VolTrebleMax(), 0);
    QCOMPARE(volume.WaveBassMin(), 0);
    QCOMPARE(volume.WaveTrebleMin(), 0);

    device_->clearCalls();
    QCOMPARE(volume.VolumeLevelBass(), 77);
    volume.WaveLevelTreble(5);
    const auto h = MemoryMixerDevice::kHandle;
    QCOMPARE(device_->calls(), (std::vector<Call>{{"mixerGetControlDetailsA", {h, 0}},
                                                  {"mixerSetControlDetails", {h, 0, 5}}}));
}

void TestClsVolume::propertiesAddressTheirControls_data() {
    QTest::addColumn<int>("property");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("controlId");
    QTest::addColumn<int>("value");
    QTest::newRow("VolumeLevel get") << 0 << "mixerGetControlDetailsA" << int(kSpkVol) << -1;
    QTest::newRow("WaveLevel get") << 1 << "mixerGetControlDetailsA" << int(kWaveVol) << -1;
    QTest::newRow("VolumeLevelBass get") << 2 << "mixerGetControlDetailsA" << int(kSpkBass) << -1;
    QTest::newRow("VolumeLevelTreble get") << 3 << "mixerGetControlDetailsA" << int(kSpkTreble) << -1;
    QTest::newRow("VolumeMute get") << 4 << "mixerGetControlDetailsA" << int(kSpkMute) << -1;
    QTest::newRow("WaveMute get") << 5 << "mixerGetControlDetailsA" << int(kWaveMuteId) << -1;
    QTest::newRow("WaveLevel let") << 6 << "mixerSetControlDetails" << int(kWaveVol) << 11;
    QTest::newRow("VolumeLevel let") << 7 << "mixerSetControlDetails" << int(kSpkVol) << 12;
    QTest::newRow("WaveLevelBass let") << 8 << "mixerSetControlDetails" << int(kWaveBassId) << 13;
    QTest::newRow("VolumeLevelBass let") << 9 << "mixerSetControlDetails" << int(kSpkBass) << 14;
    QTest::newRow("WaveLevelTreble let") << 10 << "mixerSetControlDetails" << int(kWaveTrebleId) << 15;
    QTest::newRow("VolumeLevelTreble let") << 11 << "mixerSetControlDetails" << int(kSpkTreble) << 16;
    QTest::newRow("VolumeMute let true") << 12 << "mixerSetControlDetails" << int(kSpkMute) << 1;
    QTest::newRow("WaveMute let false") << 13 << "mixerSetControlDetails" << int(kWaveMuteId) << 0;
}

void TestClsVolume::propertiesAddressTheirControls() {
    QFETCH(int, property);
    QFETCH(QString, operation);
    QFETCH(int, controlId);
    QFETCH(int, value);
    declareMixer(*device_, true, true, true);
    clsVolume v;
    device_->clearCalls();
    switch (property) {
    case 0: v.VolumeLevel(); break;
    case 1: v.WaveLevel(); break;
    case 2: v.VolumeLevelBass(); break;
    case 3: v.VolumeLevelTreble(); break;
    case 4: v.VolumeMute(); break;
    case 5: v.WaveMute(); break;
    case 6: v.WaveLevel(11); break;
    case 7: v.VolumeLevel(12); break;
    case 8: v.WaveLevelBass(13); break;
    case 9: v.VolumeLevelBass(14); break;
    case 10: v.WaveLevelTreble(15); break;
    case 11: v.VolumeLevelTreble(16); break;
    case 12: v.VolumeMute(true); break;
    case 13: v.WaveMute(false); break;
    }
    const auto h = MemoryMixerDevice::kHandle;
    std::vector<std::int64_t> args{h, controlId};
    if (value >= 0) args.push_back(value);
    QCOMPARE(device_->calls(), (std::vector<Call>{{operation.toStdString(), args}}));
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
    // Lookups were still made, each with the handle the failed open left.
    QCOMPARE(device_->calls()[1], (Call{"mixerGetLineInfoA", {0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS}}));
}

void TestClsVolume::destructionOnlyClosesWhenIdle() {
    declareMixer(*device_, true, true, true);
    {
        clsVolume volume;
        volume.VolumeLevel();
        device_->clearCalls();
    }
    QCOMPARE(device_->calls(), (std::vector<Call>{{"mixerClose", {MemoryMixerDevice::kHandle}}}));
}

QTEST_GUILESS_MAIN(TestClsVolume)
#include "tst_clsvolume.moc"
