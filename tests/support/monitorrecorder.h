#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace testsupport {

// Records what a sink plays, by default the default sink's monitor ("speakers.monitor" on the
// test server), as signed 16-bit mono at a rate of the caller's choice, over a connection of
// its own. Each sample can be placed on the steady clock (when it reached the monitor), so
// tests and benchmarks can time sounds against the calls that made them.
class MonitorRecorder {
public:
    using Clock = std::chrono::steady_clock;

    explicit MonitorRecorder(int rate = 22050, std::string source = "@DEFAULT_MONITOR@");
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    // Connects and waits (at most two seconds) until samples flow. False without a server.
    bool start();
    void stop();

    std::vector<std::int16_t> samples() const;
    std::size_t sampleCount() const;

    // Waits (bounded) until at least `count` samples are in, or `duration` more has been
    // recorded from now.
    bool waitForSamples(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool record(std::chrono::milliseconds duration);

    // When sample `index` reached the monitor, and the first sample that reached it at or
    // after `time`.
    Clock::time_point timeOf(std::size_t index) const;
    std::size_t indexAt(Clock::time_point time) const;

    // First sample from `from` on (or last sample before `to`) whose magnitude exceeds
    // `threshold`.
    static std::optional<std::size_t> soundStart(const std::vector<std::int16_t>& samples,
                                                 std::size_t from = 0, int threshold = 0);
    static std::optional<std::size_t> soundEnd(const std::vector<std::int16_t>& samples,
                                               std::size_t to = SIZE_MAX, int threshold = 0);
    // Where `needle` occurs exactly in `samples`, searching from `from`.
    static std::optional<std::size_t> find(const std::vector<std::int16_t>& samples,
                                           const std::vector<std::int16_t>& needle,
                                           std::size_t from = 0);

private:
    struct Arrival {
        Clock::time_point time;
        std::size_t total;  // samples received up to and including this read
    };

    static void onContextState(pa_context* c, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onRead(pa_stream* s, std::size_t bytes, void* self);
    void release();

    int rate_;
    std::string source_;
    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    std::vector<Arrival> arrivals_;
};

// Converts 8-bit unsigned or 16-bit signed little-endian samples to 16-bit signed values.
std::vector<std::int16_t> toInt16(const std::uint8_t* bytes, std::size_t size, int bitsPerSample);

}  // namespace testsupport
