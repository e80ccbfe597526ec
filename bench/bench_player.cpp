#include <QProcess>
#include <QTest>
#include <QTemporaryFile>

#include <chrono>
#include <thread>

#include "benchmark.h"
#include "firstsample.h"
#include "monitorrecorder.h"
#include "platform/callrouting.h"
#include "platform/soundplayer.h"
#include "pulseserver.h"
#include "scopednullsink.h"
#include "tonesource.h"
#include "sounds/cliptable.h"

// The sound player against the server of the environment, timed on the monitor of a null sink
// of its own in the clip's format. That sink does not rewind, so its monitor shows each sample
// once, when it is played.
namespace {

using namespace std::chrono_literals;
using bench::Clock;
using bench::firstSampleMs;
using bench::msBetween;
using bench::openingMs;
using bench::storedSamples;
using testsupport::MonitorRecorder;
using Samples = std::vector<std::int16_t>;

constexpr std::uint32_t kOnce = platform::SND_RESOURCE | platform::SND_ASYNC;
constexpr std::uint32_t kLoop = kOnce | platform::SND_LOOP;
constexpr int kTrials = 7;

void playsoundReturn() {
    const auto& module = sounds::programModule();
    platform::PlaySoundA(103, &module, kLoop);  // connects
    std::this_thread::sleep_for(300ms);
    std::vector<double> us;
    for (int i = 0; i < 60; ++i) {
        const auto t0 = Clock::now();
        platform::PlaySoundA(i % 2 ? 102 : 103, &module, kLoop);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        std::this_thread::sleep_for(30ms);
    }
    platform::sndPlaySoundA(nullptr, platform::SND_ASYNC);
    bench::report("playsound_return_us", bench::median(us));
}

void firstSample() {
    testsupport::ScopedNullSink sink("quorvane_bench_first", 22050);
    const auto& module = sounds::programModule();
    auto stop = [] { platform::sndPlaySoundA(nullptr, platform::SND_ASYNC); };
    bench::report("first_sample_ms",
                  firstSampleMs([&] { platform::PlaySoundA(102, &module, kLoop); }, stop, openingMs(102)));

    QTemporaryFile file(QDir::tempPath() + "/quorvane-bench-XXXXXX.wav");
    const auto image = sounds::findClip(102);
    if (!file.open()) return;
    file.write(reinterpret_cast<const char*>(image.data()), qint64(image.size()));
    file.flush();
    QProcess paplay;
    bench::report("paplay_first_sample_ms",
                  firstSampleMs([&] { paplay.start("paplay", {file.fileName()}); },
                                [&] { paplay.kill(); paplay.waitForFinished(2000); }, openingMs(102)));
}

// Ten repeats of clip 103 on a sink in its own format: where each repeat's opening really
// reappears against where it should, in samples.
void loopSeam() {
    const Samples stored = storedSamples(103);
    const std::size_t n = stored.size();
    testsupport::ScopedNullSink sink("quorvane_bench_seam", 8000, "u8");
    MonitorRecorder recorder(8000);
    if (!sink.isLoaded() || !recorder.start()) return;
    platform::PlaySoundA(103, &sounds::programModule(), kLoop);
    recorder.record(std::chrono::milliseconds(11 * 1000 * n / 8000) + 300ms);
    platform::sndPlaySoundA(nullptr, platform::SND_ASYNC);
    const Samples recorded = recorder.samples();

    const std::size_t opening = MonitorRecorder::soundStart(stored).value_or(0);
    const Samples needle(stored.begin() + opening, stored.begin() + opening + 64);
    const auto first = MonitorRecorder::find(recorded, needle);
    double worst = first ? 0 : double(n);
    for (int r = 1; first && r <= 10; ++r) {
        const std::size_t expected = *first + r * n;
        const std::size_t from = expected > n / 2 ? expected - n / 2 : 0;
        const auto found = MonitorRecorder::find(recorded, needle, from);
        const double error = found ? std::abs(double(*found) - double(expected)) : double(n);
        worst = std::max(worst, error);
    }
    bench::report("loop_seam_samples", worst);
}

// Clip 102 loops and clip 104 replaces it. The old clip is recognised by following its samples
// on the monitor; the figure is the time of its last sample after the replacing call.
void replaceCut() {
    const Samples old = storedSamples(102);
    testsupport::ScopedNullSink sink("quorvane_bench_cut", 22050);
    if (!sink.isLoaded()) return;
    const std::size_t opening = MonitorRecorder::soundStart(old).value_or(0);
    const Samples needle(old.begin() + opening, old.begin() + opening + 64);
    std::vector<double> trials;
    for (int i = 0; i < kTrials; ++i) {
        MonitorRecorder recorder(22050);
        if (!recorder.start()) return;
        platform::PlaySoundA(102, &sounds::programModule(), kLoop);
        recorder.record(500ms);
        const auto t1 = Clock::now();
        platform::PlaySoundA(104, &sounds::programModule(), kOnce);
        recorder.record(600ms);
        const Samples recorded = recorder.samples();
        const auto found = MonitorRecorder::find(recorded, needle);
        if (!found || *found < opening) continue;
        const std::size_t start = *found - opening;
        std::size_t k = 0;
        while (start + k < recorded.size() && recorded[start + k] == old[k % old.size()]) ++k;
        // The old clip's last sample that differs from silence.
        const auto last = MonitorRecorder::soundEnd(recorded, start + k);
        if (last) trials.push_back(msBetween(t1, recorder.timeOf(*last)));
    }
    platform::sndPlaySoundA(nullptr, platform::SND_ASYNC);
    bench::report("replace_cut_ms", bench::median(trials));
}

// Into calls: from the play call to the clip's first sample on the virtual microphone, and
// from a sound at the real microphone to the same sound on the virtual one.
void callFirstSample() {
    const auto& module = sounds::programModule();
    auto stop = [] { platform::sndPlaySoundA(nullptr, platform::SND_ASYNC); };
    bench::report("call_first_sample_ms",
                  firstSampleMs([&] { platform::PlaySoundA(102, &module, kLoop); }, stop,
                                openingMs(102), "quorvane_mic"));
}

void callMicLatency() {
    const auto image = sounds::findClip(104);  // two clicks
    QTemporaryFile file(QDir::tempPath() + "/quorvane-bench-XXXXXX.wav");
    if (!file.open()) return;
    file.write(reinterpret_cast<const char*>(image.data()), qint64(image.size()));
    file.flush();
    const QString microphone = testsupport::pactl({"get-default-source"}).trimmed();
    const QString sink = microphone.section(".monitor", 0, 0);
    std::vector<double> trials;
    for (int i = 0; i < kTrials; ++i) {
        MonitorRecorder real(44100, microphone.toStdString()), virtualMic(44100, "quorvane_mic");
        if (!real.start() || !virtualMic.start()) return;
        real.record(200ms);
        const auto t0 = Clock::now();
        QProcess::execute("paplay", {"--device=" + sink, file.fileName()});
        real.record(300ms);
        virtualMic.record(300ms);
        const auto heard = MonitorRecorder::soundStart(real.samples(), real.indexAt(t0), 1000);
        const auto carried = MonitorRecorder::soundStart(virtualMic.samples(), virtualMic.indexAt(t0), 1000);
        if (heard && carried) trials.push_back(msBetween(real.timeOf(*heard), virtualMic.timeOf(*carried)));
    }
    bench::report("call_mic_latency_ms", bench::median(trials));
}

// From a recording starting on the virtual microphone, while the user's microphone is
// closed, to the first sample of the voice reaching the recorder: a steady tone at a
// microphone of its own. The recorder's own connection and buffering count too.
void callVoiceJoin() {
    testsupport::ToneSource voice("quorvane_bench_voice");
    const QString microphone = testsupport::pactl({"get-default-source"}).trimmed();
    testsupport::pactl({"set-default-source", voice.sourceName()});
    auto& routing = platform::CallRouting::instance();
    routing.enable();
    QTest::qWait(1000);
    const auto joined = [] { return testsupport::pactl({"list", "short", "modules"}).contains("module-loopback"); };
    std::vector<double> trials;
    for (int i = 0; i < kTrials && voice.isReady(); ++i) {
        for (int wait = 0; wait < 50 && joined(); ++wait) QTest::qWait(100);
        const auto t0 = Clock::now();
        MonitorRecorder call(44100, "quorvane_mic");
        if (!call.start()) break;
        while (Clock::now() - t0 < 2s && !MonitorRecorder::soundStart(call.samples(), 0, 1000))
            std::this_thread::sleep_for(2ms);
        if (MonitorRecorder::soundStart(call.samples(), 0, 1000)) trials.push_back(msBetween(t0, Clock::now()));
    }
    routing.shutdown(std::chrono::seconds(2));
    testsupport::pactl({"set-default-source", microphone});
    bench::report("call_voice_join_ms", bench::median(trials));
}

void runCalls() {
    bool enabled = false;
    for (int i = 0; i < 30 && !enabled && testsupport::serverReachable(); ++i) {
        enabled = platform::CallRouting::instance().enable();  // once the connection is up
        if (!enabled) QTest::qWait(100);
    }
    if (!enabled) {
        std::fprintf(stderr, "bench_player: no sound server for the calls\n");
        return;
    }
    QTest::qWait(1500);
    callFirstSample();
    callMicLatency();
    platform::CallRouting::instance().shutdown(std::chrono::seconds(2));
    callVoiceJoin();
}

void runAll() {
    if (!testsupport::serverReachable()) {
        std::fprintf(stderr, "bench_player: no sound server reachable\n");
        return;
    }
    playsoundReturn();
    firstSample();
    loopSeam();
    replaceCut();
}

const bench::Register registration("player", runAll);
const bench::Register callsRegistration("calls", runCalls);

}  // namespace
