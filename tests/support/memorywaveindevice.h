#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/waveindevice.h"

namespace testsupport {

using namespace platform;

// A recording device for unit tests: it records every call with its arguments, answers with
// the codes a test sets, and fills nothing until a test says a queued buffer is done.
class MemoryWaveInDevice : public WaveInDevice {
public:
    struct Call {
        std::string operation;
        std::vector<std::int64_t> arguments;
        bool operator==(const Call&) const = default;
    };

    static constexpr HWAVEIN kHandle = 0x5731;

    // Answers `operation` (a call's name) with `result` from now on.
    void setResult(const std::string& operation, MMRESULT result) { results_[operation] = result; }
    // Marks the first queued buffer done, as the device does once it is full.
    bool completeNextBuffer();
    std::size_t queued() const { return queue_.size(); }

    const std::vector<Call>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    std::size_t count(const std::string& operation) const;

    MMRESULT waveInOpen(HWAVEIN* handle, std::uint32_t deviceId,
                        const WAVEFORMATEX& format) override;
    MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInStart(HWAVEIN handle) override;
    MMRESULT waveInReset(HWAVEIN handle) override;
    MMRESULT waveInStop(HWAVEIN handle) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) override;
    MMRESULT waveInClose(HWAVEIN handle) override;

    // Buffer arguments are recorded by position: 0 for the first header ever seen, 1 for the
    // next, and so on.
    int headerIndex(const WAVEHDR* header);

private:
    MMRESULT answer(const std::string& operation, std::vector<std::int64_t> arguments);

    std::map<std::string, MMRESULT> results_;
    std::vector<const WAVEHDR*> headers_;
    std::vector<WAVEHDR*> queue_;
    std::vector<Call> calls_;
};

}  // namespace testsupport
