#include <QTest>

#include <cmath>

#include "../platform/playertestsupport.h"
#include "../platform/riffbuilder.h"
#include "mixer/clsvolume.h"
#include "monitorrecorder.h"
#include "platform/mixerdevice.h"
#include "platform/soundplayer.h"
#include "pulseserver.h"

using namespace platform;
using namespace std::chrono_literals;
using testsupport::pactl;
using testsupport::sinkMuted;
using testsupport::sinkVolume;

// clsVolume on the sound server of the environment: what it writes shows at the server and
// what the server holds reads back on the mixer's 0..65535 scale.
class TestClsVolumeServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void controlsOfTheServer();
    void volumeLevelShowsAtTheServer_data();
    void volumeLevelShowsAtTheServer();
    void serverVolumeReadsOnTheMixerScale_data();
    void serverVolumeReadsOnTheMixerScale();
    void volumeMuteShowsAtTheServer();
    void identifierZeroFailsAndChangesNothing();
    void waveLevelAtHalfMakesTheClipQuieter();
    void waveLevelSetInTheDesktopMixerHoldsForTheNextClip();
};

// The mixer learns the server's state once for the whole process; the tests start after that.
void TestClsVolumeServer::initTestCase() {
    QVERIFY(testsupport::serverReachable());
    clsVolume volume;
    QTRY_VERIFY(volume.VolumeLevel() > 0);
}

void TestClsVolumeServer::cleanup() {
    pactl({"set-sink-volume", "@DEFAULT_SINK@", "100%"});
    pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"});
}

void TestClsVolumeServer::controlsOfTheServer() {
    clsVolume volume;
    QCOMPARE(volume.VolumeMin(), 0);
    QCOMPARE(volume.VolumeMax(), 65535);
    QCOMPARE(volume.WaveMin(), 0);
    QCOMPARE(volume.WaveMax(), 65535);
    // No tone controls on this server.
    QCOMPARE(volume.VolBassMin(), 0);
    QCOMPARE(volume.VolBassMax(), 0);
    QCOMPARE(volume.VolTrebleMin(), 0);
    QCOMPARE(volume.VolTrebleMax(), 0);
    QCOMPARE(volume.WaveBassMin(), 0);
    QCOMPARE(volume.WaveTrebleMin(), 0);
    QCOMPARE(volume.VolumeLevelBass(), 0);
}

void TestClsVolumeServer::volumeLevelShowsAtTheServer_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("atServer");
    QTest::newRow("50% from the knob") << 32750 << 32750;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("full") << 65535 << 65536;
    QTest::newRow("above VolumeMax is limited") << 70000 << 65536;
    QTest::newRow("below zero is silence") << -5 << 0;
}

void TestClsVolumeServer::volumeLevelShowsAtTheServer() {
    QFETCH(int, level);
    QFETCH(int, atServer);
    clsVolume volume;
    volume.VolumeLevel(level);
    QTRY_COMPARE(sinkVolume(), atServer);
    QCOMPARE(volume.VolumeLevel(), std::clamp(level, 0, 65535));
    // Every channel carries it.
    const QString out = pactl({"get-sink-volume", "@DEFAULT_SINK@"});
    QCOMPARE(out.count(QString::number(atServer) + " /"), 2);
}

void TestClsVolumeServer::serverVolumeReadsOnTheMixerScale_data() {
    QTest::addColumn<QStringList>("volumes");
    QTest::addColumn<int>("level");
    QTest::newRow("50%") << QStringList{"50%"} << 32768;
    QTest::newRow("100%") << QStringList{"100%"} << 65535;
    QTest::newRow("0%") << QStringList{"0%"} << 0;
    QTest::newRow("loudest channel") << QStringList{"20%", "60%"} << 39320;
    QTest::newRow("a boost above 100% reads above the scale") << QStringList{"150%"} << 98303;
}

void TestClsVolumeServer::serverVolumeReadsOnTheMixerScale() {
    QFETCH(QStringList, volumes);
    QFETCH(int, level);
    clsVolume volume;
    pactl(QStringList{"set-sink-volume", "@DEFAULT_SINK@"} + volumes);
    QTRY_COMPARE(volume.VolumeLevel(), level);
}

void TestClsVolumeServer::volumeMuteShowsAtTheServer() {
    clsVolume volume;
    QTRY_VERIFY(!volume.VolumeMute() && volume.VolumeLevel() > 0);  // the sink is known
    volume.VolumeMute(true);
    QCOMPARE(volume.VolumeMute(), true);
    QTRY_VERIFY(sinkMuted());
    volume.VolumeMute(false);
    QCOMPARE(volume.VolumeMute(), false);
    QTRY_VERIFY(!sinkMuted());
    pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"});
    QTRY_COMPARE(volume.VolumeMute(), true);
}

void TestClsVolumeServer::identifierZeroFailsAndChangesNothing() {
    MixerDevice& device = mixerDevice();
    HMIXER h = 0;
    QCOMPARE(device.mixerOpen(&h, 0), MMSYSERR_NOERROR);
    QVERIFY(h != 0);
    pactl({"set-sink-volume", "@DEFAULT_SINK@", "40%"});
    const int before = sinkVolume();
    std::int32_t value = 99;
    QCOMPARE(device.mixerGetControlDetailsA(h, 0, &value), MIXERR_INVALCONTROL);
    QCOMPARE(value, 99);
    QCOMPARE(device.mixerSetControlDetails(h, 0, 0), MIXERR_INVALCONTROL);
    QCOMPARE(sinkVolume(), before);
    MixerLine line;
    QCOMPARE(device.mixerGetLineInfoA(h, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, &line),
             MIXERR_INVALLINE);
    QCOMPARE(device.mixerOpen(&h, 1), MMSYSERR_BADDEVICEID);
    QCOMPARE(device.mixerClose(h), MMSYSERR_NOERROR);
}

namespace {
double rms(const std::vector<std::int16_t>& s) {
    double sum = 0;
    for (auto v : s) sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / s.size());
}
// The program's playback stream as `pactl list sink-inputs` shows it.
struct ProgramStream {
    QString index;
    int volume = -1;
    bool muted = false;
};

ProgramStream programStream() {
    ProgramStream stream;
    for (const QString& line : pactl({"list", "sink-inputs"}).split('\n')) {
        const QString t = line.trimmed();
        if (t.startsWith("Sink Input #")) stream.index = t.mid(12);
        if (t.startsWith("Mute:")) stream.muted = t.contains("yes");
        if (t.startsWith("Volume:")) stream.volume = t.section(':', 2).section('/', 0, 0).trimmed().toInt();
    }
    return stream;
}

// A server that keeps per-application volumes would start the next test's streams as this
// one left them.
void restoreProgramStream(clsVolume& volume) {
    volume.WaveMute(false);
    volume.WaveLevel(65535);
    QTRY_VERIFY(programStream().volume == 65536 && !programStream().muted);
}
}  // namespace

void TestClsVolumeServer::waveLevelAtHalfMakesTheClipQuieter() {
    riff::Module module;
    module.set(1, riff::wave16(cliptest::square(22050, 12000)));
    clsVolume volume;
    auto loudness = [&] {
        testsupport::MonitorRecorder recorder;
        if (!recorder.start() || !recorder.record(200ms)) return -1.0;
        recorder.samples();
        const std::size_t from = recorder.sampleCount();
        recorder.record(300ms);
        auto s = recorder.samples();
        return rms({s.begin() + from, s.end()});
    };
    volume.WaveLevel(65535);
    QCOMPARE(volume.WaveLevel(), 65535);
    QVERIFY(PlaySoundA(1, &module, SND_RESOURCE | SND_ASYNC | SND_LOOP));
    const double full = loudness();
    volume.WaveLevel(32768);
    QCOMPARE(volume.WaveLevel(), 32768);
    const double half = loudness();
    volume.WaveMute(true);
    QCOMPARE(volume.WaveMute(), true);
    const double muted = loudness();
    restoreProgramStream(volume);
    sndPlaySoundA(nullptr, SND_ASYNC);
    qInfo() << "rms full" << full << "half" << half << "muted" << muted;
    QVERIFY(full > 1000);
    QVERIFY(half < 0.8 * full);
    QVERIFY(half > 0);
    QVERIFY(muted < 50);
}


// The wave-output line is the program's stream as the desktop's per-application mixer shows
// it: a volume set there reads back, and holds for the next clip.
void TestClsVolumeServer::waveLevelSetInTheDesktopMixerHoldsForTheNextClip() {
    riff::Module module;
    module.set(1, riff::wave16(cliptest::square(22050, 12000)));
    clsVolume volume;
    QVERIFY(PlaySoundA(1, &module, SND_RESOURCE | SND_ASYNC | SND_LOOP));
    QTRY_VERIFY(!programStream().index.isEmpty());
    const QString first = programStream().index;
    pactl({"set-sink-input-volume", first, "19661"});  // 30%
    QTRY_COMPARE(volume.WaveLevel(), 19661);

    QVERIFY(PlaySoundA(1, &module, SND_RESOURCE | SND_ASYNC | SND_LOOP));
    QTRY_VERIFY(!programStream().index.isEmpty() && programStream().index != first);
    QCOMPARE(programStream().volume, 19661);
    restoreProgramStream(volume);
    sndPlaySoundA(nullptr, SND_ASYNC);
}

QTEST_GUILESS_MAIN(TestClsVolumeServer)
#include "tst_clsvolumeserver.moc"
