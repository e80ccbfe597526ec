#include "firstsample.h"

#include <thread>

#include "benchmark.h"
#include "monitorrecorder.h"
#include "platform/riffreader.h"
#include "sounds/cliptable.h"

namespace bench {

using namespace std::chrono_literals;
using testsupport::MonitorRecorder;

namespace {

constexpr int kTrials = 7;

std::vector<std::int16_t> samplesOf(const platform::WaveClip& clip) {
    return testsupport::toInt16(clip.samples.data(), clip.samples.size(), clip.bitsPerSample);
}

}  // namespace

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::vector<std::int16_t> storedSamples(int number) {
    return samplesOf(platform::readWave(sounds::findClip(number)).clip);
}

double openingMs(int number) {
    const auto clip = platform::readWave(sounds::findClip(number)).clip;
    return 1000.0 * double(MonitorRecorder::soundStart(samplesOf(clip)).value_or(0)) / clip.sampleRate;
}

double firstSampleMs(const std::function<void()>& start, const std::function<void()>& stop,
                     double openingMs, const std::string& source) {
    std::vector<double> trials;
    for (int i = 0; i < kTrials; ++i) {
        MonitorRecorder recorder(44100, source);
        if (!recorder.start()) return -1;
        recorder.record(100ms);
        const auto t0 = Clock::now();
        start();
        recorder.record(600ms);
        stop();
        const auto first = MonitorRecorder::soundStart(recorder.samples(), recorder.indexAt(t0));
        if (first) trials.push_back(msBetween(t0, recorder.timeOf(*first)) - openingMs);
        std::this_thread::sleep_for(200ms);
    }
    return median(trials);
}

}  // namespace bench
