#pragma once

#include <deque>
#include <map>
#include <memory>

#include "pulseconnection.h"
#include "waveindevice.h"

namespace platform {

// Records from the sound server's default source in the asked PCM format. Queued buffers are
// filled in order on the sound thread and marked WHDR_DONE when full. After a server restart
// an open recording goes on with a new stream on the new connection.
class PulseWaveInDevice : public WaveInDevice, public ConnectionUser {
public:
    PulseWaveInDevice();
    ~PulseWaveInDevice() override;

    MMRESULT waveInOpen(HWAVEIN* handle, std::uint32_t deviceId,
                        const WAVEFORMATEX& format) override;
    MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInStart(HWAVEIN handle) override;
    MMRESULT waveInReset(HWAVEIN handle) override;
    MMRESULT waveInStop(HWAVEIN handle) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInClose(HWAVEIN handle) override;

    void connected(pa_context* context, const PulseLock& lock) override;
    void disconnected(const PulseLock& lock) override;

private:
    struct Recording {
        pa_sample_spec spec{};
        pa_stream* stream = nullptr;
        std::deque<WAVEHDR*> queue;
        bool started = false;
    };

    Recording* find(HWAVEIN handle, const PulseLock& lock);
    static bool openStream(pa_context* context, Recording& r, const PulseLock& lock);
    // Runs or pauses the recording of a handle; nullptr for an unknown handle.
    Recording* setRunning(HWAVEIN handle, bool running, const PulseLock& lock);
    static void onRead(pa_stream* s, std::size_t bytes, void* recording);
    static void returnAll(Recording& r);

    std::map<HWAVEIN, std::unique_ptr<Recording>> recordings_;  // guarded by the connection lock
    HWAVEIN nextHandle_ = 1;
};

}  // namespace platform
