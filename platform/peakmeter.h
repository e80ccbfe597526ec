#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

struct pa_stream;
struct pa_context;

namespace platform {

// The loudest recent sample of a sound-server source, on the signed scale 0..32767. The first
// read opens a peak-detecting record stream on the source and keeps it open, so every later
// read reflects the last fraction of a second. Waits are bounded; a lost server is
// reconnected on the next read.
class PeakMeter {
public:
    // An empty source name means the default source, followed when it changes.
    explicit PeakMeter(std::string source);
    ~PeakMeter();
    PeakMeter(const PeakMeter&) = delete;
    PeakMeter& operator=(const PeakMeter&) = delete;

    // False when no reading can be had (no server, no such source).
    bool read(std::int32_t* value);

private:
    using Clock = std::chrono::steady_clock;
    struct Reading {
        Clock::time_point time;
        float peak;
    };

    bool ensureStream(pa_context* c);
    void closeStream();
    bool hasRecentReading(Clock::time_point now) const;
    static void onRead(pa_stream* s, std::size_t bytes, void* self);
    static void onState(pa_stream* s, void* self);

    std::string source_;
    pa_stream* stream_ = nullptr;
    unsigned generation_ = 0;
    std::deque<Reading> readings_;  // guarded by the connection's lock
};

}  // namespace platform
