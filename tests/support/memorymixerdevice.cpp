#include "memorymixerdevice.h"

namespace testsupport {

MixerControl mixerControl(std::uint32_t id, std::uint32_t type, std::int32_t minimum,
                          std::int32_t maximum, std::uint32_t items) {
    return {id, type, {minimum, maximum}, items};
}

void MemoryMixerDevice::addLine(std::uint32_t componentType, std::uint32_t lineId) {
    lines_[componentType] = lineId;
}

void MemoryMixerDevice::addControl(std::uint32_t lineId, const MixerControl& control,
                                   std::int32_t value) {
    controls_.emplace_back(lineId, control);
    values_[control.dwControlID] = value;
}

void MemoryMixerDevice::addSpeakers(std::int32_t level, bool muted) {
    addLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, kSpeakers);
    addControl(kSpeakers, mixerControl(kSpeakerVolume, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535),
               level);
    addControl(kSpeakers, mixerControl(kSpeakerMute, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1), muted);
}

void MemoryMixerDevice::setValue(std::uint32_t controlId, std::int32_t value) {
    values_[controlId] = value;
}

std::int32_t MemoryMixerDevice::value(std::uint32_t controlId) const {
    auto it = values_.find(controlId);
    return it == values_.end() ? 0 : it->second;
}

std::vector<std::string> MemoryMixerDevice::requests(std::uint32_t controlId) const {
    std::vector<std::string> seen;
    for (const auto& [id, request] : requests_)
        if (id == controlId) seen.push_back(request);
    return seen;
}

MMRESULT MemoryMixerDevice::mixerOpen(HMIXER* handle, std::uint32_t deviceId) {
    if (openResult_ != MMSYSERR_NOERROR) return openResult_;
    if (deviceId != 0) return MMSYSERR_BADDEVICEID;
    *handle = kHandle;
    ++opens_;
    open_ = true;
    return MMSYSERR_NOERROR;
}

MMRESULT MemoryMixerDevice::mixerGetLineInfoA(HMIXER handle, std::uint32_t componentType,
                                              MixerLine* line) {
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    auto it = lines_.find(componentType);
    if (it == lines_.end()) return MIXERR_INVALLINE;
    line->dwLineID = it->second;
    line->dwComponentType = componentType;
    return MMSYSERR_NOERROR;
}

MMRESULT MemoryMixerDevice::mixerGetLineControlsA(HMIXER handle, std::uint32_t lineId,
                                                  std::uint32_t controlType,
                                                  MixerControl* control) {
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    for (const auto& [line, c] : controls_) {
        if (line == lineId && c.dwControlType == controlType) {
            *control = c;
            return MMSYSERR_NOERROR;
        }
    }
    return MIXERR_INVALCONTROL;
}

MMRESULT MemoryMixerDevice::mixerGetControlDetailsA(HMIXER handle, std::uint32_t controlId,
                                                    std::int32_t* value) {
    requests_.emplace_back(controlId, "get");
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    if (valueResult_ != MMSYSERR_NOERROR) return valueResult_;
    auto it = values_.find(controlId);
    if (it == values_.end()) return MIXERR_INVALCONTROL;
    *value = it->second;
    return MMSYSERR_NOERROR;
}

MMRESULT MemoryMixerDevice::mixerSetControlDetails(HMIXER handle, std::uint32_t controlId,
                                                   std::int32_t value) {
    requests_.emplace_back(controlId, "set " + std::to_string(value));
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    if (valueResult_ != MMSYSERR_NOERROR) return valueResult_;
    auto it = values_.find(controlId);
    if (it == values_.end()) return MIXERR_INVALCONTROL;
    it->second = value;
    return MMSYSERR_NOERROR;
}

MMRESULT MemoryMixerDevice::mixerClose(HMIXER handle) {
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    open_ = false;
    return MMSYSERR_NOERROR;
}

}  // namespace testsupport
