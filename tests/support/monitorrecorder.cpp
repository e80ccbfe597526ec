#include "monitorrecorder.h"

#include <algorithm>
#include <thread>

#include <pulse/pulseaudio.h>

namespace testsupport {

namespace {
constexpr auto kStartTimeout = std::chrono::seconds(2);
constexpr std::uint32_t kFragmentMs = 20;
}  // namespace

MonitorRecorder::MonitorRecorder(int rate, std::string source)
    : rate_(rate), source_(std::move(source)) {}

MonitorRecorder::~MonitorRecorder() { stop(); }

bool MonitorRecorder::start() {
    stop();
    {
        std::lock_guard guard(mutex_);
        samples_.clear();
        arrivals_.clear();
    }
    mainloop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_start(mainloop_);
    pa_threaded_mainloop_lock(mainloop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), "quorvane-monitor-recorder");
    pa_context_set_state_callback(context_, &MonitorRecorder::onContextState, this);
    bool ok = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    const auto deadline = Clock::now() + kStartTimeout;
    auto waitWhile = [&](auto&& pending) {
        while (ok && pending() && Clock::now() < deadline) {
            pa_threaded_mainloop_unlock(mainloop_);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            pa_threaded_mainloop_lock(mainloop_);
        }
    };
    waitWhile([&] {
        auto s = pa_context_get_state(context_);
        ok = s != PA_CONTEXT_FAILED && s != PA_CONTEXT_TERMINATED;
        return s != PA_CONTEXT_READY;
    });
    ok = ok && pa_context_get_state(context_) == PA_CONTEXT_READY;
    std::string source = source_;
    if (ok && source == "@DEFAULT_MONITOR@") {
        // Not every server resolves this name to the default sink's monitor.
        struct Query { std::string monitor; bool done = false; pa_threaded_mainloop* loop; } query{{}, false, mainloop_};
        pa_operation_unref(pa_context_get_sink_info_by_name(
            context_, "@DEFAULT_SINK@",
            [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                auto* q = static_cast<Query*>(data);
                if (!eol && info && info->monitor_source_name) q->monitor = info->monitor_source_name;
                if (eol) q->done = true;
                pa_threaded_mainloop_signal(q->loop, 0);
            },
            &query));
        waitWhile([&] { return !query.done; });
        if (!query.monitor.empty()) source = query.monitor;
    }
    if (ok) {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate_), 1};
        stream_ = pa_stream_new(context_, "monitor recorder", &spec, nullptr);
        pa_stream_set_state_callback(stream_, &MonitorRecorder::onStreamState, this);
        pa_stream_set_read_callback(stream_, &MonitorRecorder::onRead, this);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentMs * PA_USEC_PER_MSEC, &spec));
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        ok = pa_stream_connect_record(stream_, source.c_str(), &attr, flags) >= 0;
        waitWhile([&] {
            auto s = pa_stream_get_state(stream_);
            ok = s != PA_STREAM_FAILED && s != PA_STREAM_TERMINATED;
            return s != PA_STREAM_READY;
        });
        ok = ok && pa_stream_get_state(stream_) == PA_STREAM_READY;
    }
    pa_threaded_mainloop_unlock(mainloop_);
    if (ok) ok = waitForSamples(1, std::chrono::duration_cast<std::chrono::milliseconds>(kStartTimeout));
    if (!ok) stop();
    return ok;
}

void MonitorRecorder::stop() {
    if (!mainloop_) return;
    pa_threaded_mainloop_lock(mainloop_);
    release();
    pa_threaded_mainloop_unlock(mainloop_);
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
    mainloop_ = nullptr;
}

void MonitorRecorder::release() {
    if (stream_) {
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
}

void MonitorRecorder::onContextState(pa_context*, void* self) {
    pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->mainloop_, 0);
}

void MonitorRecorder::onStreamState(pa_stream*, void* self) {
    pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->mainloop_, 0);
}

// A sample's time is when the sink plays it. The stream's latency says how long ago the next
// sample to be read was played; for a monitor it is negative when the sink renders ahead of
// time. Without timing data the arrival time stands in.
void MonitorRecorder::onRead(pa_stream* s, std::size_t, void* self) {
    auto* recorder = static_cast<MonitorRecorder*>(self);
    const auto now = Clock::now();
    pa_usec_t latency = 0;
    int negative = 0;
    const bool timed = pa_stream_get_latency(s, &latency, &negative) == 0;
    const auto behind = std::chrono::microseconds(negative ? -std::int64_t(latency) : std::int64_t(latency));
    const std::size_t base = recorder->sampleCount();
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) >= 0 && bytes > 0) {
        std::lock_guard guard(recorder->mutex_);
        auto& out = recorder->samples_;
        const std::size_t count = bytes / 2;
        if (data) {
            const auto* p = static_cast<const std::uint8_t*>(data);
            for (std::size_t i = 0; i < count; ++i)
                out.push_back(static_cast<std::int16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
        } else {
            out.insert(out.end(), count, 0);  // a hole in the stream: silence
        }
        const auto ahead = std::chrono::duration<double>(double(out.size() - base) / recorder->rate_);
        const auto played = timed ? now - behind + std::chrono::duration_cast<Clock::duration>(ahead) : now;
        recorder->arrivals_.push_back({played, out.size()});
        pa_stream_drop(s);
    }
}

std::vector<std::int16_t> MonitorRecorder::samples() const {
    std::lock_guard guard(mutex_);
    return samples_;
}

std::size_t MonitorRecorder::sampleCount() const {
    std::lock_guard guard(mutex_);
    return samples_.size();
}

bool MonitorRecorder::waitForSamples(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (sampleCount() < count) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool MonitorRecorder::record(std::chrono::milliseconds duration) {
    const auto wanted = sampleCount() + static_cast<std::size_t>(duration.count() * rate_ / 1000);
    return waitForSamples(wanted, duration * 2 + std::chrono::seconds(2));
}

MonitorRecorder::Clock::time_point MonitorRecorder::timeOf(std::size_t index) const {
    std::lock_guard guard(mutex_);
    if (arrivals_.empty()) return Clock::now();
    auto it = std::upper_bound(arrivals_.begin(), arrivals_.end(), index,
                               [](std::size_t i, const Arrival& a) { return i < a.total; });
    if (it == arrivals_.end()) --it;
    const auto ahead = static_cast<double>(it->total) - static_cast<double>(index);
    return it->time - std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(ahead / rate_));
}

std::size_t MonitorRecorder::indexAt(Clock::time_point time) const {
    std::size_t lo = 0, hi = sampleCount();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (timeOf(mid) < time) lo = mid + 1; else hi = mid;
    }
    return lo;
}

std::optional<std::size_t> MonitorRecorder::soundStart(const std::vector<std::int16_t>& samples,
                                                       std::size_t from, int threshold) {
    for (std::size_t i = from; i < samples.size(); ++i)
        if (std::abs(samples[i]) > threshold) return i;
    return std::nullopt;
}

std::optional<std::size_t> MonitorRecorder::soundEnd(const std::vector<std::int16_t>& samples,
                                                     std::size_t to, int threshold) {
    for (std::size_t i = std::min(to, samples.size()); i-- > 0;)
        if (std::abs(samples[i]) > threshold) return i;
    return std::nullopt;
}

std::optional<std::size_t> MonitorRecorder::find(const std::vector<std::int16_t>& samples,
                                                 const std::vector<std::int16_t>& needle,
                                                 std::size_t from) {
    if (needle.empty() || from > samples.size()) return std::nullopt;
    auto it = std::search(samples.begin() + static_cast<std::ptrdiff_t>(from), samples.end(),
                          needle.begin(), needle.end());
    if (it == samples.end()) return std::nullopt;
    return static_cast<std::size_t>(it - samples.begin());
}

std::vector<std::int16_t> toInt16(const std::uint8_t* bytes, std::size_t size, int bitsPerSample) {
    std::vector<std::int16_t> out;
    if (bitsPerSample == 8) {
        for (std::size_t i = 0; i < size; ++i)
            out.push_back(static_cast<std::int16_t>((bytes[i] - 128) * 256));
    } else {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            out.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return out;
}

}  // namespace testsupport
