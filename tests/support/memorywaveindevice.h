#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/waveindevice.h"

namespace testsupport {

using namespace platform;

// A recording device for unit tests. While it lives it is the process's recording device. It
// answers with the codes a test sets, shows what state a caller left it in, and fills nothing
// until a test says a queued buffer is done.
class MemoryWaveInDevice : public WaveInDevice {
public:
    // Answers `operation` (a call's name) with `result` from now on.
    void setResult(const std::string& operation, MMRESULT result) { results_[operation] = result; }
    // Marks the first queued buffer done, as the device does once it is full.
    bool completeNextBuffer();

    int opens() const { return opens_; }
    bool isOpen() const { return open_; }
    bool isStarted() const { return started_; }
    // The format of the latest open.
    const WAVEFORMATEX& format() const { return format_; }
    std::size_t prepared() const { return prepared_.size(); }
    std::size_t queued() const { return queue_.size(); }
    // The length of each buffer queued so far.
    std::vector<std::uint32_t> bufferLengths() const;

    MMRESULT waveInOpen(HWAVEIN* handle, std::uint32_t deviceId,
                        const WAVEFORMATEX& format) override;
    MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInStart(HWAVEIN handle) override;
    MMRESULT waveInReset(HWAVEIN handle) override;
    MMRESULT waveInStop(HWAVEIN handle) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInClose(HWAVEIN handle) override;

private:
    MMRESULT result(const std::string& operation) const;

    std::map<std::string, MMRESULT> results_;
    int opens_ = 0;
    bool open_ = false;
    bool started_ = false;
    WAVEFORMATEX format_;
    std::set<const WAVEHDR*> prepared_;
    std::vector<WAVEHDR*> queue_;
    base::Replacement<WaveInDevice> inPlace_{waveInDevice, *this};
};

}  // namespace testsupport
