#include <QTest>

#include "monitorrecorder.h"
#include "platform/riffreader.h"
#include "platform/soundplayer.h"
#include "pulseserver.h"
#include "scopednullsink.h"
#include "sounds/cliptable.h"

using namespace platform;
using namespace std::chrono_literals;
using testsupport::MonitorRecorder;
using Samples = std::vector<std::int16_t>;

// The program's own clips through the player, each on a sink in its own format, so that the
// monitor must show the stored samples exactly: once and then silence, or looped seamlessly.
class TestClipPlayback : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void soundsAsStored_data();
    void soundsAsStored();
};

void TestClipPlayback::initTestCase() {
    QVERIFY2(testsupport::serverReachable(), "these tests need the environment's sound server");
}

void TestClipPlayback::cleanup() { sndPlaySoundA(nullptr, SND_ASYNC); }

void TestClipPlayback::soundsAsStored_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("repeats");  // 0: played once
    QTest::newRow("101 answering machine, once") << 101 << 0;
    QTest::newRow("102 traffic, looped") << 102 << 2;
    QTest::newRow("103 dogs, looped") << 103 << 3;
    QTest::newRow("104 stop clicks, once") << 104 << 0;
}

void TestClipPlayback::soundsAsStored() {
    QFETCH(int, number);
    QFETCH(int, repeats);
    const WaveClip clip = readWave(sounds::findClip(number)).clip;
    QVERIFY(!clip.samples.empty());
    const Samples stored = testsupport::toInt16(clip.samples.data(), clip.samples.size(), clip.bitsPerSample);
    const int rate = int(clip.sampleRate);
    const QString format = clip.bitsPerSample == 8 ? "u8" : "s16le";

    testsupport::ScopedNullSink sink(QString("quorvane_clip_%1").arg(number), rate, format);
    QVERIFY(sink.isLoaded());
    MonitorRecorder recorder(rate);
    QVERIFY(recorder.start());
    const std::uint32_t flags = SND_RESOURCE | SND_ASYNC | (repeats ? SND_LOOP : 0);
    QVERIFY(PlaySoundA(number, &sounds::programModule(), flags));
    const int played = std::max(repeats, 1);
    QVERIFY(recorder.record(std::chrono::milliseconds(1000LL * played * stored.size() / rate) + 1200ms));
    sndPlaySoundA(nullptr, SND_ASYNC);
    const Samples recorded = recorder.samples();

    const std::size_t opening = *MonitorRecorder::soundStart(stored);
    const Samples needle(stored.begin() + opening, stored.begin() + opening + 64);
    const auto found = MonitorRecorder::find(recorded, needle);
    QVERIFY2(found && *found >= opening, "the clip's opening never reached the sink");
    const std::size_t start = *found - opening;
    QVERIFY2(!MonitorRecorder::soundStart(Samples(recorded.begin(), recorded.begin() + start)),
             "sound before the clip");

    const std::size_t count = stored.size() * played;
    for (std::size_t k = 0; k < count; ++k) {
        if (recorded.at(start + k) != stored[k % stored.size()])
            QFAIL(qPrintable(QString("departs from the clip in repeat %1 at sample %2")
                                 .arg(k / stored.size()).arg(k % stored.size())));
    }
    if (!repeats)
        QVERIFY2(*MonitorRecorder::soundEnd(recorded) < start + stored.size(), "sound after the clip");
}

QTEST_GUILESS_MAIN(TestClipPlayback)
#include "tst_clipplayback.moc"
