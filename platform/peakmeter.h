#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "pulseconnection.h"

namespace platform {

// The loudest recent sample of a sound-server source, on the scale 0..32767. The first read
// opens a peak-detecting record stream on the source and keeps it open, so every later read
// reflects the last fraction of a second; a read of another source moves the stream there.
// A read waits a bounded time for a first reading; on a new connection the stream is opened
// again at the next read.
class PeakMeter : public ConnectionUser {
public:
    PeakMeter();
    ~PeakMeter() override;
    PeakMeter(const PeakMeter&) = delete;
    PeakMeter& operator=(const PeakMeter&) = delete;

    // False when no reading can be had (no server, no such source). An empty source name
    // means the server's default source.
    bool read(const std::string& source, std::int32_t* value);

    void connected(pa_context*, const PulseLock&) override {}
    void disconnected(const PulseLock& lock) override;

private:
    bool ensureStream(pa_context* c, const std::string& source, const PulseLock& lock);
    void closeStream(const PulseLock& lock);
    static void onRead(pa_stream* s, std::size_t bytes, void* self);
    static void onState(pa_stream* s, void* self);

    pa_stream* stream_ = nullptr;
    std::string source_;
    std::deque<float> readings_;  // the newest few, guarded by the sound thread's lock
};

}  // namespace platform
