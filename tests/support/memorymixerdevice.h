#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/mixerdevice.h"

namespace testsupport {

using namespace platform;

// A control record as a lookup reports it.
MixerControl mixerControl(std::uint32_t id, std::uint32_t type, std::int32_t minimum,
                          std::int32_t maximum, std::uint32_t items = 0);

// A mixer whose lines, controls and values a test declares. While it lives it is the process's
// mixer device. It keeps what each control was asked, so a test can see what a caller read and
// wrote.
class MemoryMixerDevice : public MixerDevice {
public:
    // Declaration. Line and control identifiers are the ones the lookups then report.
    void addLine(std::uint32_t componentType, std::uint32_t lineId);
    void addControl(std::uint32_t lineId, const MixerControl& control, std::int32_t value = 0);
    // The speakers line with a volume control (0 to 65535) and a mute control.
    static constexpr std::uint32_t kSpeakers = 10, kSpeakerVolume = 101, kSpeakerMute = 102;
    void addSpeakers(std::int32_t level, bool muted);

    void setValue(std::uint32_t controlId, std::int32_t value);
    std::int32_t value(std::uint32_t controlId) const;
    void setOpenResult(MMRESULT result) { openResult_ = result; }
    // Makes every value request for a control fail with the given code.
    void failValueRequests(MMRESULT result) { valueResult_ = result; }

    int opens() const { return opens_; }
    bool isOpen() const { return open_; }
    // The value requests that reached a control, in order: "get", or "set" and the value.
    std::vector<std::string> requests(std::uint32_t controlId) const;
    void clearRequests() { requests_.clear(); }

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

private:
    static constexpr HMIXER kHandle = 0x4d31;

    MMRESULT openResult_ = MMSYSERR_NOERROR;
    MMRESULT valueResult_ = MMSYSERR_NOERROR;
    std::map<std::uint32_t, std::uint32_t> lines_;  // component type -> line id
    std::vector<std::pair<std::uint32_t, MixerControl>> controls_;  // line id, control
    std::map<std::uint32_t, std::int32_t> values_;
    std::vector<std::pair<std::uint32_t, std::string>> requests_;  // control id, request
    int opens_ = 0;
    bool open_ = false;
    base::Replacement<MixerDevice> inPlace_{mixerDevice, *this};
};

}  // namespace testsupport
