#include <QTest>

#include <algorithm>
#include <set>

#include "../platform/playertestsupport.h"
#include "../platform/riffbuilder.h"
#include "memorywaveindevice.h"
#include "mixer/clsvolume.h"
#include "platform/soundplayer.h"
#include "platform/waveindevice.h"
#include "pulseserver.h"
#include "tonesource.h"

using namespace platform;
using testsupport::MemoryWaveInDevice;
using namespace std::chrono_literals;
using testsupport::pactl;

namespace {

// Passes every call on to the sound server's recording device, in whose place it is put, and
// counts them; remembers whether a buffer handed back held recorded input.
class CountingWaveIn : public WaveInDevice {
public:
    WaveInDevice& pulse = waveInDevice();
    int opens = 0, adds = 0, filledBuffersBack = 0;
    std::set<std::uint8_t> valuesSeen;

    MMRESULT waveInOpen(HWAVEIN* h, std::uint32_t id, const WAVEFORMATEX& f) override {
        ++opens;
        return pulse.waveInOpen(h, id, f);
    }
    MMRESULT waveInPrepareHeader(HWAVEIN h, WAVEHDR* b) override { return pulse.waveInPrepareHeader(h, b); }
    MMRESULT waveInAddBuffer(HWAVEIN h, WAVEHDR* b) override {
        ++adds;
        if (b->dwFlags & WHDR_DONE && b->dwBytesRecorded == b->dwBufferLength) {
            ++filledBuffersBack;
            valuesSeen.insert(b->lpData, b->lpData + b->dwBytesRecorded);
        }
        return pulse.waveInAddBuffer(h, b);
    }
    MMRESULT waveInStart(HWAVEIN h) override { return pulse.waveInStart(h); }
    MMRESULT waveInReset(HWAVEIN h) override { return pulse.waveInReset(h); }
    MMRESULT waveInStop(HWAVEIN h) override { return pulse.waveInStop(h); }
    MMRESULT waveInUnprepareHeader(HWAVEIN h, WAVEHDR* b) override { return pulse.waveInUnprepareHeader(h, b); }
    MMRESULT waveInClose(HWAVEIN h) override { return pulse.waveInClose(h); }
};

// The highest of a few input readings taken over `span`.
int loudestInput(clsVolume& v, std::chrono::milliseconds span) {
    int loudest = 0;
    for (auto t = 0ms; t < span; t += 100ms) {
        loudest = std::max(loudest, v.CurrentVolumeMeterInput());
        QTest::qWait(100);
    }
    return loudest;
}

}  // namespace

// The meters and the recording device on the sound server of the environment; a tone source
// stands in for a microphone that hears something.
class TestClsVolumeMetersServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void meterBoundsOfTheServer();
    void outputMeterFollowsWhatIsPlayed();
    void inputMeterRecordsAndRises();
    void recordingDeviceFillsBuffersInOrder();
    void recordingDeviceRefusesWhatItCannotDo();
    void errorTextsAreShortAndReadable();

private:
    std::unique_ptr<testsupport::ToneSource> tone_;
};

namespace {
const QString kQuietSource = "mic.monitor";
}

void TestClsVolumeMetersServer::initTestCase() {
    QVERIFY(testsupport::serverReachable());
    tone_ = std::make_unique<testsupport::ToneSource>();
    QVERIFY(tone_->isReady());
    pactl({"set-default-source", kQuietSource});
}

void TestClsVolumeMetersServer::cleanupTestCase() {
    pactl({"set-default-source", kQuietSource});
    tone_.reset();
}

void TestClsVolumeMetersServer::cleanup() {
    sndPlaySoundA(nullptr, SND_ASYNC);
    pactl({"set-default-source", kQuietSource});
}

void TestClsVolumeMetersServer::meterBoundsOfTheServer() {
    clsVolume v;
    QCOMPARE(v.MinVolumeMeterOutput(), -32768);
    QCOMPARE(v.MaxVolumeMeterOutput(), 32767);
    QCOMPARE(v.MinVolumeMeterInput(), -32768);
    QCOMPARE(v.MaxVolumeMeterInput(), 32767);
}

void TestClsVolumeMetersServer::outputMeterFollowsWhatIsPlayed() {
    MemoryWaveInDevice waveIn;
    clsVolume v;
    const int silent = v.CurrentVolumeMeterOutput();
    riff::Module module;
    module.set(1, riff::wave16(cliptest::square(22050, 12000)));
    QVERIFY(PlaySoundA(1, &module, SND_RESOURCE | SND_ASYNC | SND_LOOP));
    int playing = 0;
    QTRY_VERIFY_WITH_TIMEOUT((playing = v.CurrentVolumeMeterOutput()) > 8000, 3000);
    QTest::qWait(200);
    QVERIFY(v.CurrentVolumeMeterOutput() > 8000);  // still, while the loop plays
    sndPlaySoundA(nullptr, SND_ASYNC);
    int after = 0;
    QTRY_VERIFY_WITH_TIMEOUT((after = v.CurrentVolumeMeterOutput()) < 100, 2000);
    qInfo() << "output meter silent" << silent << "playing" << playing << "after" << after;
    QVERIFY(silent < 100);
    QCOMPARE(waveIn.opens(), 0);  // the output meter never records
}

void TestClsVolumeMetersServer::inputMeterRecordsAndRises() {
    CountingWaveIn waveIn;
    const base::Replacement counting(waveInDevice, waveIn);
    {
        clsVolume v;
        const int quiet = loudestInput(v, 500ms);
        QCOMPARE(waveIn.opens, 1);
        pactl({"set-default-source", tone_->sourceName()});
        const int tone = loudestInput(v, 3000ms);
        qInfo() << "input meter quiet" << quiet << "tone" << tone << "buffers back"
                << waveIn.filledBuffersBack;
        QVERIFY(quiet < 100);
        QVERIFY(tone > 4000);
        QCOMPARE(waveIn.opens, 1);
        // About a second of input fills a buffer; reads hand full ones back.
        QVERIFY(waveIn.filledBuffersBack >= 2);
        QVERIFY(waveIn.valuesSeen.size() > 10);  // the tone was recorded, not just silence
    }
}

void TestClsVolumeMetersServer::recordingDeviceFillsBuffersInOrder() {
    WaveInDevice& device = waveInDevice();
    pactl({"set-default-source", tone_->sourceName()});
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = 8;
    f.nBlockAlign = 1;
    f.nAvgBytesPerSec = 8000;
    HWAVEIN h = 0;
    QCOMPARE(device.waveInOpen(&h, 0, f), MMSYSERR_NOERROR);
    std::vector<std::uint8_t> a(2000), b(2000), c(16000);
    WAVEHDR ha, hb, hc;
    for (auto [hdr, buf] : {std::pair{&ha, &a}, {&hb, &b}, {&hc, &c}}) {
        hdr->lpData = buf->data();
        hdr->dwBufferLength = std::uint32_t(buf->size());
        QCOMPARE(device.waveInPrepareHeader(h, hdr), MMSYSERR_NOERROR);
        QCOMPARE(device.waveInAddBuffer(h, hdr), MMSYSERR_NOERROR);
    }
    QCOMPARE(device.waveInAddBuffer(h, &ha), WAVERR_STILLPLAYING);
    QTest::qWait(100);
    QVERIFY(!(ha.dwFlags & WHDR_DONE));  // nothing before the start
    QCOMPARE(device.waveInStart(h), MMSYSERR_NOERROR);
    QTRY_VERIFY_WITH_TIMEOUT(hb.dwFlags & WHDR_DONE, 3000);
    QVERIFY(ha.dwFlags & WHDR_DONE);
    QCOMPARE(ha.dwBytesRecorded, 2000u);
    QVERIFY(*std::max_element(a.begin(), a.end()) > 160);  // the tone is in it
    QCOMPARE(device.waveInUnprepareHeader(h, &hc), WAVERR_STILLPLAYING);
    QCOMPARE(device.waveInClose(h), WAVERR_STILLPLAYING);
    QCOMPARE(device.waveInReset(h), MMSYSERR_NOERROR);
    QVERIFY(hc.dwFlags & WHDR_DONE);  // handed back by the reset
    QCOMPARE(device.waveInStop(h), MMSYSERR_NOERROR);
    for (WAVEHDR* hdr : {&ha, &hb, &hc}) QCOMPARE(device.waveInUnprepareHeader(h, hdr), MMSYSERR_NOERROR);
    QCOMPARE(device.waveInAddBuffer(h, &ha), WAVERR_UNPREPARED);
    QCOMPARE(device.waveInClose(h), MMSYSERR_NOERROR);
    QCOMPARE(device.waveInStart(h), MMSYSERR_INVALHANDLE);
}

void TestClsVolumeMetersServer::recordingDeviceRefusesWhatItCannotDo() {
    WaveInDevice& device = waveInDevice();
    WAVEFORMATEX f;
    f.wFormatTag = 3;  // floating point
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = 32;
    f.nBlockAlign = 4;
    HWAVEIN h = 0;
    QCOMPARE(device.waveInOpen(&h, 0, f), WAVERR_BADFORMAT);
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.wBitsPerSample = 8;
    f.nBlockAlign = 1;
    QCOMPARE(device.waveInOpen(&h, 1, f), MMSYSERR_BADDEVICEID);
}

void TestClsVolumeMetersServer::errorTextsAreShortAndReadable() {
    WaveInDevice& device = waveInDevice();
    for (MMRESULT code : {MMSYSERR_NOERROR, MMSYSERR_ERROR, MMSYSERR_BADDEVICEID, MMSYSERR_ALLOCATED,
                          MMSYSERR_INVALHANDLE, MMSYSERR_NODRIVER, MMSYSERR_NOMEM,
                          MMSYSERR_NOTSUPPORTED, MMSYSERR_BADERRNUM, MMSYSERR_INVALPARAM,
                          WAVERR_BADFORMAT, WAVERR_STILLPLAYING, WAVERR_UNPREPARED}) {
        char text[200];
        std::fill(std::begin(text), std::end(text), 'x');
        QCOMPARE(device.waveInGetErrorTextA(code, text, sizeof text), MMSYSERR_NOERROR);
        const std::size_t n = std::strlen(text);  // NUL-terminated within the 200 bytes
        QVERIFY(n > 10 && n < 200);
    }
    char small[8];
    QCOMPARE(device.waveInGetErrorTextA(MMSYSERR_NODRIVER, small, sizeof small), MMSYSERR_NOERROR);
    QCOMPARE(std::strlen(small), std::size_t(7));
    char text[200];
    QCOMPARE(device.waveInGetErrorTextA(12345, text, sizeof text), MMSYSERR_BADERRNUM);
}

QTEST_GUILESS_MAIN(TestClsVolumeMetersServer)
#include "tst_clsvolumemetersserver.moc"
