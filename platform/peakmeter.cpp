#include "peakmeter.h"

#include <algorithm>
#include <cmath>

#include "pulseconnection.h"

namespace platform {

namespace {
using namespace std::chrono_literals;
constexpr int kReadingsPerSecond = 100;
// What "recent" means: long enough to catch a few readings, short enough to fall to silence
// almost at once when the sound stops.
constexpr auto kWindow = 60ms;
}  // namespace

PeakMeter::PeakMeter(std::string source) : source_(std::move(source)) {}

PeakMeter::~PeakMeter() {
    PulseConnection::Lock lock;
    closeStream();
}

void PeakMeter::closeStream() {
    if (!stream_) return;
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    if (generation_ == PulseConnection::instance().generation()) pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    readings_.clear();
}

bool PeakMeter::ensureStream(pa_context* c) {
    auto& pulse = PulseConnection::instance();
    if (stream_) {
        const auto state = pa_stream_get_state(stream_);
        if (generation_ == pulse.generation() &&
            (state == PA_STREAM_READY || state == PA_STREAM_CREATING))
            return true;
        closeStream();
    }
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kReadingsPerSecond, 1};
    stream_ = pa_stream_new(c, "Quorvane peak meter", &spec, nullptr);
    if (!stream_) return false;
    generation_ = pulse.generation();
    pa_stream_set_read_callback(stream_, &PeakMeter::onRead, this);
    pa_stream_set_state_callback(stream_, &PeakMeter::onState, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = sizeof(float);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream_, source_.empty() ? nullptr : source_.c_str(), &attr, flags) < 0) {
        closeStream();
        return false;
    }
    pulse.waitUntil([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
        closeStream();
        return false;
    }
    return true;
}

bool PeakMeter::hasRecentReading(Clock::time_point now) const {
    return !readings_.empty() && readings_.back().time >= now - kWindow;
}

bool PeakMeter::read(std::int32_t* value) {
    auto& pulse = PulseConnection::instance();
    PulseConnection::Lock lock;
    pa_context* c = pulse.context();
    if (!c || !ensureStream(c)) return false;
    const auto now = Clock::now();
    if (!pulse.waitUntil([&] { return hasRecentReading(now); })) return false;
    float loudest = 0;
    for (const Reading& r : readings_)
        if (r.time >= now - kWindow) loudest = std::max(loudest, r.peak);
    *value = static_cast<std::int32_t>(std::lround(std::min(loudest, 1.0f) * 32767));
    return true;
}

void PeakMeter::onRead(pa_stream* s, std::size_t, void* self) {
    auto* meter = static_cast<PeakMeter*>(self);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0) {
        if (bytes == 0) break;
        if (data) {
            float peak = 0;
            const auto* samples = static_cast<const float*>(data);
            for (std::size_t i = 0; i < bytes / sizeof(float); ++i)
                peak = std::max(peak, std::fabs(samples[i]));
            meter->readings_.push_back({Clock::now(), peak});
        }
        pa_stream_drop(s);
    }
    const auto oldest = Clock::now() - 4 * kWindow;
    while (!meter->readings_.empty() && meter->readings_.front().time < oldest)
        meter->readings_.pop_front();
    PulseConnection::instance().signal();
}

void PeakMeter::onState(pa_stream*, void*) { PulseConnection::instance().signal(); }

}  // namespace platform
