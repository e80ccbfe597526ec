#include "peakmeter.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {
constexpr int kReadingsPerSecond = 100;
// A reading is the loudest of the last 60 ms of sound: long enough to catch a few peaks,
// short enough to fall to silence almost at once when the sound stops. The server may hand
// readings over in bursts, so they are counted rather than timed.
constexpr std::size_t kRecentReadings = 6;
}  // namespace

PeakMeter::PeakMeter() {
    PulseLock lock;
    PulseConnection::instance().addUser(this, lock);
}

PeakMeter::~PeakMeter() {
    PulseLock lock;
    PulseConnection::instance().removeUser(this, lock);
    closeStream(lock);
}

void PeakMeter::disconnected(const PulseLock& lock) { closeStream(lock); }

void PeakMeter::closeStream(const PulseLock& lock) {
    releaseStream(stream_, lock);
    stream_ = nullptr;
    readings_.clear();
}

bool PeakMeter::ensureStream(pa_context* c, const std::string& source, const PulseLock& lock) {
    if (stream_ && source == source_) {
        const auto state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY || state == PA_STREAM_CREATING) return true;
    }
    closeStream(lock);
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kReadingsPerSecond, 1};
    stream_ = pa_stream_new(c, "Quorvane peak meter", &spec, nullptr);
    if (!stream_) return false;
    source_ = source;
    pa_stream_set_read_callback(stream_, &PeakMeter::onRead, this);
    pa_stream_set_state_callback(stream_, &PeakMeter::onState, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = sizeof(float);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream_, source.empty() ? nullptr : source.c_str(), &attr, flags) < 0) {
        closeStream(lock);
        return false;
    }
    return true;
}

bool PeakMeter::read(const std::string& source, std::int32_t* value) {
    auto& pulse = PulseConnection::instance();
    PulseLock lock;
    pa_context* c = pulse.ready(lock);
    if (!c || !ensureStream(c, source, lock)) return false;
    if (!pulse.waitUntil(lock, [this] { return !readings_.empty(); })) return false;
    const float loudest = *std::max_element(readings_.begin(), readings_.end());
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
            meter->readings_.push_back(peak);
            if (meter->readings_.size() > kRecentReadings) meter->readings_.pop_front();
        }
        pa_stream_drop(s);
    }
    PulseConnection::instance().signal();
}

void PeakMeter::onState(pa_stream* s, void* self) {
    const auto state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        PulseLock lock;
        static_cast<PeakMeter*>(self)->closeStream(lock);
    }
    PulseConnection::instance().signal();
}

}  // namespace platform
