#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

#include "formsrecorders.h"
#include "memorymixerdevice.h"
#include "memorywaveindevice.h"
#include "mixer/clsvolume.h"

using namespace platform;
using testsupport::MemoryMixerDevice;
using testsupport::MemoryWaveInDevice;

namespace {

constexpr std::uint32_t kWave = 20, kWaveIn = 30, kOutPeak = 501, kInPeak = 502;
const QString kErrorTitle = "Quorvane - Mixercontrol Fehler";

QString errorText(MMRESULT code) {
    char text[200];
    waveInDevice().waveInGetErrorTextA(code, text, sizeof text);
    return QString::fromUtf8(text);
}

}  // namespace

// The level meters of clsVolume on the in-memory mixer and recording device.
class TestClsVolumeMeters : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void outputMeterNeverRecords();
    void readingsAreMagnitudes_data();
    void readingsAreMagnitudes();
    void firstInputReadStartsRecordingOnce();
    void doneBuffersAreHandedBack();
    void failedOpenShowsTwoBoxesPerRead();
    void failedQueueingStillStarts();
    void failedMeterReadKeepsThePreviousValue();
    void destructionWhileRecordingStopsAndCloses();
    void theRealBoxIsCriticalWithOneOkButton();

private:
    std::unique_ptr<MemoryMixerDevice> mixer_;
    std::unique_ptr<MemoryWaveInDevice> waveIn_;
    std::unique_ptr<testsupport::RecordedMessageBoxes> boxes_;
};

void TestClsVolumeMeters::init() {
    mixer_ = std::make_unique<MemoryMixerDevice>();
    waveIn_ = std::make_unique<MemoryWaveInDevice>();
    boxes_ = std::make_unique<testsupport::RecordedMessageBoxes>();
    mixer_->addLine(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, kWave);
    mixer_->addLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kWaveIn);
    mixer_->addControl(kWave, testsupport::mixerControl(kOutPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER,
                                                        -32768, 32767));
    mixer_->addControl(kWaveIn, testsupport::mixerControl(kInPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER,
                                                          -1000, 999));
}

void TestClsVolumeMeters::cleanup() {
    boxes_.reset();
    waveIn_.reset();
    mixer_.reset();
}

void TestClsVolumeMeters::outputMeterNeverRecords() {
    {
        clsVolume v;
        QCOMPARE(v.MaxVolumeMeterInput(), 999);
        QCOMPARE(v.MinVolumeMeterInput(), -1000);
        mixer_->setValue(kOutPeak, 1234);
        QCOMPARE(v.CurrentVolumeMeterOutput(), 1234);
        QCOMPARE(v.CurrentVolumeMeterOutput(), 1234);
    }
    QCOMPARE(waveIn_->opens(), 0);
    QVERIFY(boxes_->texts.isEmpty());
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

// Recording runs from the first input reading on: 8 kHz, mono, 8 bits into two queued
// buffers of 8192 bytes.
void TestClsVolumeMeters::firstInputReadStartsRecordingOnce() {
    clsVolume v;
    mixer_->setValue(kInPeak, -70);
    QCOMPARE(v.CurrentVolumeMeterInput(), 70);
    const WAVEFORMATEX& f = waveIn_->format();
    QCOMPARE(f.wFormatTag, WAVE_FORMAT_PCM);
    QCOMPARE(f.nChannels, 1);
    QCOMPARE(f.nSamplesPerSec, 8000u);
    QCOMPARE(f.nAvgBytesPerSec, 8000u);
    QCOMPARE(f.nBlockAlign, 1);
    QCOMPARE(f.wBitsPerSample, 8);
    QCOMPARE(f.cbSize, 0);
    QCOMPARE(waveIn_->bufferLengths(), (std::vector<std::uint32_t>{8192, 8192}));
    QVERIFY(waveIn_->isStarted());
    v.CurrentVolumeMeterInput();
    v.CurrentVolumeMeterInput();
    QCOMPARE(waveIn_->opens(), 1);
    QVERIFY(boxes_->texts.isEmpty());
}

// Any meter reading hands full buffers back to the device.
void TestClsVolumeMeters::doneBuffersAreHandedBack() {
    clsVolume v;
    v.CurrentVolumeMeterInput();
    QVERIFY(waveIn_->completeNextBuffer());
    QCOMPARE(waveIn_->queued(), std::size_t(1));
    v.CurrentVolumeMeterOutput();
    QCOMPARE(waveIn_->queued(), std::size_t(2));
    QVERIFY(waveIn_->completeNextBuffer());
    QVERIFY(waveIn_->completeNextBuffer());
    QCOMPARE(waveIn_->queued(), std::size_t(0));
    v.CurrentVolumeMeterInput();
    QCOMPARE(waveIn_->queued(), std::size_t(2));
}

void TestClsVolumeMeters::failedOpenShowsTwoBoxesPerRead() {
    waveIn_->setResult("waveInOpen", MMSYSERR_NODRIVER);
    mixer_->setValue(kInPeak, 55);
    clsVolume v;
    QCOMPARE(v.CurrentVolumeMeterInput(), 55);  // still reads the meter after the boxes
    const QString text = errorText(MMSYSERR_NODRIVER);
    QVERIFY(!text.isEmpty());
    QCOMPARE(boxes_->texts, QStringList({text, text}));
    QCOMPARE(boxes_->titles, QStringList({kErrorTitle, kErrorTitle}));
    QCOMPARE(waveIn_->queued(), std::size_t(0));

    v.CurrentVolumeMeterInput();  // idle still: the next read tries again
    QCOMPARE(boxes_->texts.size(), 4);
}

void TestClsVolumeMeters::failedQueueingStillStarts() {
    waveIn_->setResult("waveInAddBuffer", WAVERR_UNPREPARED);
    clsVolume v;
    v.CurrentVolumeMeterInput();
    QCOMPARE(boxes_->texts, QStringList(2, errorText(WAVERR_UNPREPARED)));  // one per buffer
    QVERIFY(waveIn_->isStarted());
    v.CurrentVolumeMeterInput();
    QCOMPARE(waveIn_->opens(), 1);  // counts as running
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
        QCOMPARE(waveIn_->prepared(), std::size_t(2));
    }
    QVERIFY(!mixer_->isOpen());
    QVERIFY(!waveIn_->isStarted());
    QVERIFY(!waveIn_->isOpen());
    QCOMPARE(waveIn_->queued(), std::size_t(0));
    QCOMPARE(waveIn_->prepared(), std::size_t(0));
}

void TestClsVolumeMeters::theRealBoxIsCriticalWithOneOkButton() {
    boxes_.reset();
    waveIn_->setResult("waveInOpen", MMSYSERR_BADDEVICEID);
    clsVolume v;
    QStringList texts, titles;
    int icon = -1, buttons = -1;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        texts << box->text();
        titles << box->windowTitle();
        icon = box->icon();
        buttons = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(20);
    v.CurrentVolumeMeterInput();
    QCOMPARE(texts, QStringList(2, errorText(MMSYSERR_BADDEVICEID)));
    QCOMPARE(titles, QStringList(2, kErrorTitle));
    QCOMPARE(icon, int(QMessageBox::Critical));
    QCOMPARE(buttons, 1);
}

QTEST_MAIN(TestClsVolumeMeters)
#include "tst_clsvolumemeters.moc"
