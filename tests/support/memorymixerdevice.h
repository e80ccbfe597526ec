#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/mixerdevice.h"

namespace testsupport {

using namespace platform;

// A mixer whose lines, controls and values a test declares. It records every call with its
// arguments, so a test can check the order and kind of requests a caller makes.
class MemoryMixerDevice : public MixerDevice {
public:
    struct Call {
        std::string operation;
        std::vector<std::int64_t> arguments;
        bool operator==(const Call&) const = default;
    };

    // Declaration. Line and control identifiers are the ones the lookups then report.
    void addLine(std::uint32_t componentType, std::uint32_t lineId);
    void addControl(std::uint32_t lineId, const MixerControl& control, std::int32_t value = 0);
    void setValue(std::uint32_t controlId, std::int32_t value);
    std::int32_t value(std::uint32_t controlId) const;
    void setOpenResult(MMRESULT result) { openResult_ = result; }
    // Makes every value request for a control fail with the given code.
    void failValueRequests(MMRESULT result) { valueResult_ = result; }

    const std::vector<Call>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

    MMRESULT mixerOpen(HMIXER* handle, std::uint32_t deviceId) override;
    MMRESULT mixerGetLineInfoA(HMIXER handle, std::uint32_t componentType,
                               MixerLine* line) override;
    MMRESULT mixerGetLineControlsA(HMIXER handle, std::uint32_t lineId, std::uint32_t controlType,
                                   MixerControl* control) override;
    MMRESULT mixerGetControlDetailsA(HMIXER handle, std::uint32_t controlId,
                                     std::int32_t* value) override;
    MMRESULT mixerSetControlDetails(HMIXER handle, std::uint32_t controlId,
                                    std::int32_t value) override;
    MMRESULT mixerClose(HMIXER handle) override;

    static constexpr HMIXER kHandle = 0x4d31;

private:
    void record(std::string operation, std::vector<std::int64_t> arguments);

    MMRESULT openResult_ = MMSYSERR_NOERROR;
    MMRESULT valueResult_ = MMSYSERR_NOERROR;
    std::map<std::uint32_t, std::uint32_t> lines_;  // component type -> line id
    std::vector<std::pair<std::uint32_t, MixerControl>> controls_;  // line id, control
    std::map<std::uint32_t, std::int32_t> values_;
    std::vector<Call> calls_;
};

}  // namespace testsupport
