#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

#include "mixer/clsvolume.h"
#include "memorymixerdevice.h"
#include "memorywaveindevice.h"

using namespace platform;
using testsupport::MemoryMixerDevice;
using testsupport::MemoryWaveInDevice;
using WaveCall = MemoryWaveInDevice::Call;

namespace {

constexpr std::uint32_t kWave = 20, kWaveIn = 30, kOutPeak = 501, kInPeak = 502;
constexpr auto H = MemoryWaveInDevice::kHandle;

MixerControl meter(std::uint32_t id, std::int32_t min, std::int32_t max) {
    MixerControl c;
    c.dwControlID = id;
    c.dwControlType = MIXERCONTROL_CONTROLTYPE_PEAKMETER;
    c.Bounds.lMinimum = min;
    c.Bounds.lMaximum = max;
    return c;
}

struct Shown {
    std::string text, title;
};

}  // namespace

// The level meters of clsVolume on the in-memory mixer and recording device.
class TestClsVolumeMeters : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void boundsMakeNoCall();
    void outputMeterNeverRecords();
    void readingsAreMagnitudes_data();
    void readingsAreMagnitudes();
    void firstInputReadStartsRecordingOnce();
    void doneBuffersAreHandedBack();
    void failedOpenShowsTwoBoxesPerRead();
    void failedQueueingStillStarts();
    void failedMeterReadKeepsThePreviousValue();
    void destructionWhileRecordingStopsAndCloses();
    void destructionWhileIdleMakesNoRecordingCall();
    void theRealBoxIsCriticalWithOneOkButton();

private:
    std::unique_ptr<MemoryMixerDevice> mixer_;
    std::unique_ptr<MemoryWaveInDevice> waveIn_;
    std::vector<Shown> shown_;
};

void TestClsVolumeMeters::init() {
    mixer_ = std::make_unique<MemoryMixerDevice>();
    waveIn_ = std::make_unique<MemoryWaveInDevice>();
    mixer_->addLine(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, kWave);
    mixer_->addLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kWaveIn);
    mixer_->addControl(kWave, meter(kOutPeak, -32768, 32767));
    mixer_->addControl(kWaveIn, meter(kInPeak, -1000, 999));
    setMixerDevice(mixer_.get());
    setWaveInDevice(waveIn_.get());
    shown_.clear();
    clsVolume::setErrorBox([this](const std::string& text, const std::string& title) {
        shown_.push_back({text, title});
    });
}

void TestClsVolumeMeters::cleanup() {
    clsVolume::setErrorBox(nullptr);
    setMixerDevice(nullptr);
    setWaveInDevice(nullptr);
}

void TestClsVolumeMeters::boundsMakeNoCall() {
    clsVolume v;
    mixer_->clearCalls();
    QCOMPARE(v.MaxVolumeMeterInput(), 999);
    QCOMPARE(v.MinVolumeMeterInput(), -1000);
    QCOMPARE(v.MaxVolumeMeterOutput(), 32767);
    QCOMPARE(v.MinVolumeMeterOutput(), -32768);
    QVERIFY(mixer_->calls().empty());
    QVERIFY(waveIn_->calls().empty());
}

void TestClsVolumeMeters::outputMeterNeverRecords() {
    clsVolume v;
    mixer_->setValue(kOutPeak, 1234);
    mixer_->clearCalls();
    QCOMPARE(v.CurrentVolumeMeterOutput(), 1234);
    QCOMPARE(v.CurrentVolumeMeterOutput(), 1234);
    QCOMPARE(mixer_->calls().size(), std::size_t(2));
    QCOMPARE(mixer_->calls()[0],
             (MemoryMixerDevice::Call{"mixerGetControlDetailsA", {MemoryMixerDevice::kHandle, kOutPeak}}));
    QVERIFY(waveIn_->calls().empty());
    QVERIFY(shown_.empty());
}

void TestClsVolumeMeters::readingsAreMagnitudes_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("reading");
    QTest::newRow("-32768") << -32768 << 32768;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("-1") << -1 << 1;
    QTest::newRow("32767") << 32767 << 32767;
}

void TestClsVolumeMeters::readingsAreMagnitudes() {
    QFETCH(int, stored);
    QFETCH(int, reading);
    clsVolume v;
    mixer_->setValue(kOutPeak, stored);
    mixer_->setValue(kInPeak, stored);
    QCOMPARE(v.CurrentVolumeMeterOutput(), reading);
    QCOMPARE(v.CurrentVolumeMeterInput(), reading);
}

void TestClsVolumeMeters::firstInputReadStartsRecordingOnce() {
    clsVolume v;
    mixer_->setValue(kInPeak, -70);
    QCOMPARE(v.CurrentVolumeMeterInput(), 70);
    const std::vector<WaveCall> expected{
        {"waveInOpen", {0, WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0}},
        {"waveInPrepareHeader", {H, 0, 8192}},
        {"waveInPrepareHeader", {H, 1, 8192}},
        {"waveInAddBuffer", {H, 0}},
        {"waveInAddBuffer", {H, 1}},
        {"waveInStart", {H}},
    };
    QCOMPARE(waveIn_->calls(), expected);
    waveIn_->clearCalls();
    v.CurrentVolumeMeterInput();
    v.CurrentVolumeMeterInput();
    QVERIFY(waveIn_->calls().empty());  // nothing done, nothing handed back, no new open
    QVERIFY(shown_.empty());
}

void TestClsVolumeMeters::doneBuffersAreHandedBack() {
    clsVolume v;
    v.CurrentVolumeMeterInput();
    waveIn_->clearCalls();
    QVERIFY(waveIn_->completeNextBuffer());  // buffer 0 full
    v.CurrentVolumeMeterOutput();  // the output meter hands buffers back too
    QCOMPARE(waveIn_->calls(), (std::vector<WaveCall>{{"waveInAddBuffer", {H, 0}}}));
    waveIn_->clearCalls();
    QVERIFY(waveIn_->completeNextBuffer());  // buffer 1
    QVERIFY(waveIn_->completeNextBuffer());  // buffer 0 again
    v.CurrentVolumeMeterInput();
    QCOMPARE(waveIn_->calls(), (std::vector<WaveCall>{{"waveInAddBuffer", {H, 0}},
                                                      {"waveInAddBuffer", {H, 1}}}));
    QCOMPARE(waveIn_->queued(), std::size_t(2));
}

void TestClsVolumeMeters::failedOpenShowsTwoBoxesPerRead() {
    waveIn_->setResult("waveInOpen", MMSYSERR_NODRIVER);
    mixer_->setValue(kInPeak, 55);
    clsVolume v;
    char expectedText[200];
    waveIn_->waveInGetErrorTextA(MMSYSERR_NODRIVER, expectedText, sizeof expectedText);
    QVERIFY(std::strlen(expectedText) > 0);

    QCOMPARE(v.CurrentVolumeMeterInput(), 55);  // still reads the meter after the boxes
    QCOMPARE(shown_.size(), std::size_t(2));
    for (const Shown& s : shown_) {
        QCOMPARE(s.text, std::string(expectedText));
        QCOMPARE(s.title, std::string("Quorvane - Mixercontrol Fehler"));
    }
    QCOMPARE(waveIn_->count("waveInOpen"), std::size_t(2));
    QCOMPARE(waveIn_->calls().size(), std::size_t(2));  // nothing after a failed open

    v.CurrentVolumeMeterInput();  // idle still: the next read tries again
    QCOMPARE(shown_.size(), std::size_t(4));
    QCOMPARE(waveIn_->count("waveInOpen"), std::size_t(4));
    waveIn_->clearCalls();
    v.CurrentVolumeMeterOutput();
    QVERIFY(waveIn_->calls().empty());
}

void TestClsVolumeMeters::failedQueueingStillStarts() {
    waveIn_->setResult("waveInAddBuffer", WAVERR_UNPREPARED);
    clsVolume v;
    v.CurrentVolumeMeterInput();
    QCOMPARE(shown_.size(), std::size_t(2));  // one per buffer
    QCOMPARE(waveIn_->count("waveInStart"), std::size_t(1));
    waveIn_->clearCalls();
    v.CurrentVolumeMeterInput();
    QCOMPARE(waveIn_->count("waveInOpen"), std::size_t(0));  // counts as running
}

void TestClsVolumeMeters::failedMeterReadKeepsThePreviousValue() {
    clsVolume v;
    mixer_->setValue(kOutPeak, -300);
    QCOMPARE(v.CurrentVolumeMeterOutput(), 300);
    mixer_->failValueRequests(MMSYSERR_ERROR);
    mixer_->setValue(kOutPeak, 9);
    QCOMPARE(v.CurrentVolumeMeterOutput(), 300);
}

void TestClsVolumeMeters::destructionWhileRecordingStopsAndCloses() {
    {
        clsVolume v;
        v.CurrentVolumeMeterInput();
        waveIn_->clearCalls();
        mixer_->clearCalls();
    }
    QCOMPARE(mixer_->calls(), (std::vector<MemoryMixerDevice::Call>{
                                  {"mixerClose", {MemoryMixerDevice::kHandle}}}));
    const std::vector<WaveCall> expected{
        {"waveInReset", {H}},
        {"waveInStop", {H}},
        {"waveInUnprepareHeader", {H, 0}},
        {"waveInUnprepareHeader", {H, 1}},
        {"waveInClose", {H}},
    };
    QCOMPARE(waveIn_->calls(), expected);
    QCOMPARE(waveIn_->queued(), std::size_t(0));  // reset handed both buffers back
}

void TestClsVolumeMeters::destructionWhileIdleMakesNoRecordingCall() {
    { clsVolume v; v.CurrentVolumeMeterOutput(); }
    QVERIFY(waveIn_->calls().empty());
}

void TestClsVolumeMeters::theRealBoxIsCriticalWithOneOkButton() {
    clsVolume::setErrorBox(nullptr);
    waveIn_->setResult("waveInOpen", MMSYSERR_BADDEVICEID);
    char expectedText[200];
    waveIn_->waveInGetErrorTextA(MMSYSERR_BADDEVICEID, expectedText, sizeof expectedText);
    clsVolume v;
    std::vector<Shown> seen;
    int icon = -1, buttons = -1;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.push_back({box->text().toStdString(), box->windowTitle().toStdString()});
        icon = box->icon();
        buttons = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(20);
    v.CurrentVolumeMeterInput();
    QCOMPARE(seen.size(), std::size_t(2));
    QCOMPARE(seen[1].text, std::string(expectedText));
    QCOMPARE(seen[1].title, std::string("Quorvane - Mixercontrol Fehler"));
    QCOMPARE(icon, int(QMessageBox::Critical));
    QCOMPARE(buttons, 1);
}

QTEST_MAIN(TestClsVolumeMeters)
#include "tst_clsvolumemeters.moc"
