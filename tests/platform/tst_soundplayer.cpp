#include <QTest>

#include <memory>
#include <thread>

#include "monitorrecorder.h"
#include "platform/riffreader.h"
#include "platform/soundplayer.h"
#include "playertestsupport.h"
#include "pulseserver.h"
#include "riffbuilder.h"
#include "scopednullsink.h"

using namespace platform;
using namespace std::chrono_literals;
using testsupport::MonitorRecorder;
using Samples = std::vector<std::int16_t>;

namespace {

constexpr int kRate = 22050;
constexpr std::uint32_t kOnce = SND_RESOURCE | SND_ASYNC;
constexpr std::uint32_t kLoop = SND_RESOURCE | SND_ASYNC | SND_LOOP;

enum Clip { kLoopA = 1, kLoopB, kOnceNoise, kBroken, kUnknown = 999 };

std::size_t samplesIn(std::chrono::milliseconds d) { return std::size_t(d.count() * kRate / 1000); }

Samples head(const Samples& s, std::size_t n) { return Samples(s.begin(), s.begin() + n); }

// Index of the first sample from `from` on where `recorded` stops following `clip` repeated.
std::size_t followsUntil(const Samples& recorded, std::size_t from, const Samples& clip,
                         std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
        if (from + k >= recorded.size() || recorded[from + k] != clip[k % clip.size()]) return k;
    return count;
}

}  // namespace

class TestSoundPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void loopRepeatsSampleExactly_data();
    void loopRepeatsSampleExactly();
    void newCallReplacesTheSoundingClip_data();
    void newCallReplacesTheSoundingClip();
    void nullNameStops();
    void oneShotSoundsOnceThenSilence();
    void unplayableCalls_data();
    void unplayableCalls();

private:
    QString loopDeparture(const Samples& expected, int repeats);

    riff::Module module_;
    std::unique_ptr<testsupport::ScopedNullSink> sink_;
    std::unique_ptr<MonitorRecorder> recorder_;
    const Samples loopA_ = cliptest::square(4000, 1000);
    const Samples loopB_ = cliptest::square(3000, 5000);
    const Samples onceNoise_ = cliptest::noise(6615, 7);
};

void TestSoundPlayer::initTestCase() {
    QVERIFY2(testsupport::serverReachable(), "these tests need the environment's sound server");
    // A sink in the clips' own format passes their samples to its monitor unchanged.
    sink_ = std::make_unique<testsupport::ScopedNullSink>("quorvane_player_test", kRate);
    QVERIFY(sink_->isLoaded());
    module_.set(kLoopA, riff::wave16(loopA_));
    module_.set(kLoopB, riff::wave16(loopB_));
    module_.set(kOnceNoise, riff::wave16(onceNoise_));
    module_.set(kBroken, riff::image(riff::fmt({1, 2, kRate, 16, 4}) + riff::chunk("data", riff::samples16(loopA_))));
}

void TestSoundPlayer::init() {
    recorder_ = std::make_unique<MonitorRecorder>(kRate);
    QVERIFY(recorder_->start());
}

void TestSoundPlayer::cleanup() {
    sndPlaySoundA(nullptr, SND_ASYNC);
    recorder_.reset();
}

void TestSoundPlayer::cleanupTestCase() { sink_.reset(); }

void TestSoundPlayer::loopRepeatsSampleExactly_data() {
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("repeats");

    const Samples noise16 = cliptest::noise(4410, 1);
    QTest::newRow("16-bit, 0.2 s") << riff::wave16(noise16) << 10;
    // Shorter than one write: the write callback wraps several times per request.
    QTest::newRow("16-bit, 45 ms") << riff::wave16(cliptest::noise(1001, 2)) << 30;
    const QByteArray noise8 = cliptest::noise8(3307, 3);
    QTest::newRow("8-bit with fact and trailing bytes")
        << riff::image(riff::fmt8(kRate) + riff::chunk("fact", riff::le32(3307)) +
                       riff::chunk("data", noise8), QByteArray(2, '\0'))
        << 10;
}

// Empty when the recording follows the clip, repeated, from its first sound on; else where
// and how it departs: the silence that follows, and where in the clip the sound goes on.
QString TestSoundPlayer::loopDeparture(const Samples& expected, int repeats) {
    recorder_ = std::make_unique<MonitorRecorder>(kRate);
    if (!recorder_->start()) return "the recording did not start";
    if (!PlaySoundA(50, &module_, kLoop)) return "PlaySoundA failed";
    recorder_->record(std::chrono::milliseconds(1000 * expected.size() * (repeats + 1) / kRate + 200));
    sndPlaySoundA(nullptr, SND_ASYNC);
    const Samples recorded = recorder_->samples();

    const auto start = MonitorRecorder::find(recorded, head(expected, 64));
    if (!start) return "the clip's opening never reached the sink";
    if (MonitorRecorder::soundStart(recorded) != start) return "something sounded before the clip";
    const std::size_t count = expected.size() * repeats;
    const std::size_t followed = followsUntil(recorded, *start, expected, count);
    if (followed == count) return {};
    std::size_t at = *start + followed, silent = 0;
    while (at < recorded.size() && recorded[at] == 0) ++at, ++silent;
    const Samples next(recorded.begin() + std::ptrdiff_t(at),
                       recorded.begin() + std::ptrdiff_t(std::min(at + 32, recorded.size())));
    const auto resumed = MonitorRecorder::find(expected, next);
    return QString("departs from the clip %1 samples in (repeat %2 sample %3); %4 silent samples follow, "
                   "then the clip's sample %5")
        .arg(followed).arg(followed / expected.size()).arg(followed % expected.size()).arg(silent)
        .arg(resumed ? QString::number(*resumed) : "none");
}

// A cycle that a busy machine's server misses departs from the clip too, once; a fault of
// the loop departs every time, so only a departure that repeats fails.
void TestSoundPlayer::loopRepeatsSampleExactly() {
    QFETCH(QByteArray, image);
    QFETCH(int, repeats);
    module_.set(50, image);
    const auto clip = readWave(riff::bytes(image)).clip;
    const Samples expected = testsupport::toInt16(clip.samples.data(), clip.samples.size(), clip.bitsPerSample);

    QString departure;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        departure = loopDeparture(expected, repeats);
        if (departure.isEmpty()) return;
        qWarning("attempt %d: %s", attempt, qPrintable(departure));
    }
    QFAIL(qPrintable(departure));
}

void TestSoundPlayer::newCallReplacesTheSoundingClip_data() {
    QTest::addColumn<std::uint32_t>("flags");
    QTest::newRow("by a loop") << kLoop;
    QTest::newRow("by a one-shot clip") << kOnce;
}

void TestSoundPlayer::newCallReplacesTheSoundingClip() {
    QFETCH(std::uint32_t, flags);
    QVERIFY(PlaySoundA(kLoopA, &module_, kLoop));
    QVERIFY(recorder_->record(300ms));
    QVERIFY(PlaySoundA(kLoopB, &module_, flags));
    QVERIFY(recorder_->record(600ms));
    const Samples recorded = recorder_->samples();

    const auto a = MonitorRecorder::find(recorded, head(loopA_, 8));
    const auto b = MonitorRecorder::find(recorded, head(loopB_, 8));
    QVERIFY2(a && b, "both clips must have sounded");
    QVERIFY(*a < *b);
    QVERIFY2(!MonitorRecorder::find(recorded, head(loopA_, 2), *b).has_value(),
             "the old clip sounded after the new one began");
    const std::size_t expected = flags & SND_LOOP ? samplesIn(400ms) : loopB_.size();
    QCOMPARE(followsUntil(recorded, *b, loopB_, expected), expected);
}

void TestSoundPlayer::nullNameStops() {
    QVERIFY(PlaySoundA(kLoopA, &module_, kLoop));
    QVERIFY(recorder_->record(300ms));
    QVERIFY(sndPlaySoundA(nullptr, SND_ASYNC));
    QVERIFY(recorder_->record(600ms));
    const Samples recorded = recorder_->samples();
    const auto a = MonitorRecorder::find(recorded, head(loopA_, 8));
    QVERIFY(a);
    const auto end = MonitorRecorder::soundEnd(recorded);
    QVERIFY2(*end + samplesIn(400ms) < recorded.size(), "sound went on after the stop");
    QCOMPARE(followsUntil(recorded, *a, loopA_, *end + 1 - *a), *end + 1 - *a);  // cut, not garbled
}

void TestSoundPlayer::oneShotSoundsOnceThenSilence() {
    QVERIFY(PlaySoundA(kOnceNoise, &module_, kOnce));
    QVERIFY(recorder_->record(900ms));
    const Samples recorded = recorder_->samples();
    const auto start = MonitorRecorder::find(recorded, head(onceNoise_, 64));
    QVERIFY(start);
    QCOMPARE(MonitorRecorder::soundStart(recorded), start);
    QCOMPARE(followsUntil(recorded, *start, onceNoise_, onceNoise_.size()), onceNoise_.size());
    QCOMPARE(*MonitorRecorder::soundEnd(recorded), *start + onceNoise_.size() - 1);
}

void TestSoundPlayer::unplayableCalls_data() {
    QTest::addColumn<int>("clip");
    QTest::addColumn<std::uint32_t>("flags");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("sounds");

    QTest::newRow("unknown number: default sound") << int(kUnknown) << kOnce << true << true;
    QTest::newRow("unknown number with SND_NODEFAULT: nothing")
        << int(kUnknown) << (kOnce | SND_NODEFAULT) << false << false;
    QTest::newRow("malformed image: nothing") << int(kBroken) << kOnce << false << false;
}

// Each call replaces a sounding loop, whether or not it sounds anything itself.
void TestSoundPlayer::unplayableCalls() {
    QFETCH(int, clip);
    QFETCH(std::uint32_t, flags);
    QFETCH(bool, result);
    QFETCH(bool, sounds);
    QVERIFY(PlaySoundA(kLoopA, &module_, kLoop));
    QVERIFY(recorder_->record(200ms));
    const std::size_t callAt = recorder_->sampleCount();
    QCOMPARE(PlaySoundA(clip, &module_, flags), result);
    QVERIFY(recorder_->record(1500ms));
    const Samples recorded = recorder_->samples();

    const auto a = MonitorRecorder::find(recorded, head(loopA_, 8), callAt);
    const std::size_t loopEnd = a ? *a : callAt;
    const auto after = MonitorRecorder::find(recorded, head(loopA_, 2), loopEnd + samplesIn(200ms));
    QVERIFY2(!after, "the loop went on");
    const auto end = MonitorRecorder::soundEnd(recorded);
    QVERIFY2(*end + samplesIn(300ms) < recorded.size(), "sound did not end");
    const auto other = MonitorRecorder::soundStart(recorded, loopEnd + samplesIn(200ms));
    QCOMPARE(other.has_value(), sounds);
}

QTEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_soundplayer.moc"
