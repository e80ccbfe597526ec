#pragma once

#include <atomic>
#include <cstdint>

#include "mixerdevice.h"

namespace platform {

using HWAVEIN = std::uint32_t;

// Result codes of the recording calls, with the original values.
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

// Buffer header flags.
constexpr std::uint32_t WHDR_DONE = 0x01;
constexpr std::uint32_t WHDR_PREPARED = 0x02;
constexpr std::uint32_t WHDR_INQUEUE = 0x10;

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

// One recording buffer. The device fills queued buffers in its own background and then sets
// WHDR_DONE; dwFlags is atomic so that the owner can look at it from its own thread.
struct WAVEHDR {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::atomic<std::uint32_t> dwFlags{0};
};

// A recording back-end: open the first input device in a PCM format, prepare, queue, start,
// reset (hand every queued buffer back), stop, unprepare, close, and a readable text of at
// most 200 characters for each result code.
class WaveInDevice {
public:
    static constexpr std::uint32_t kMaxErrorText = 200;

    virtual ~WaveInDevice() = default;

    virtual MMRESULT waveInOpen(HWAVEIN* handle, std::uint32_t deviceId,
                                const WAVEFORMATEX& format) = 0;
    virtual MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) = 0;
    virtual MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) = 0;
    virtual MMRESULT waveInStart(HWAVEIN handle) = 0;
    virtual MMRESULT waveInReset(HWAVEIN handle) = 0;
    virtual MMRESULT waveInStop(HWAVEIN handle) = 0;
    virtual MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) = 0;
    virtual MMRESULT waveInClose(HWAVEIN handle) = 0;
    // Writes the NUL-terminated text for `code`, cut to `size` bytes including the NUL.
    virtual MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, std::uint32_t size);
};

// The process's recording device: the sound server's unless a test has put another in its
// place.
extern base::Replaceable<WaveInDevice> waveInDevice;

}  // namespace platform
