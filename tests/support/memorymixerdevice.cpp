#include "memorymixerdevice.h"

namespace testsupport {

void MemoryMixerDevice::addLine(std::uint32_t componentType, std::uint32_t lineId) {
    lines_[componentType] = lineId;
}

void MemoryMixerDevice::addControl(std::uint32_t lineId, const MixerControl& control,
                                   std::int32_t value) {
    controls_.emplace_back(lineId, control);
    values_[control.dwControlID] = value;
}

void MemoryMixerDevice::setValue(std::uint32_t controlId, std::int32_t value) {
    values_[controlId] = value;
}

std::int32_t MemoryMixerDevice::value(std::uint32_t controlId) const {
    auto it = values_.find(controlId);
    return it == values_.end() ? 0 : it->second;
}

void MemoryMixerDevice::record(std::string operation, std::vector<std::int64_t> arguments) {
    calls_.push_back({std::move(operation), std::move(arguments)});
}

MMRESULT MemoryMixerDevice::mixerOpen(HMIXER* handle, std::uint32_t deviceId) {
    record("mixerOpen", {deviceId});
    if (openResult_ != MMSYSERR_NOERROR) return openResult_;
    if (deviceId != 0) return MMSYSERR_BADDEVICEID;
    *handle = kHandle;
    return MMSYSERR_NOERROR;
}

MMRESULT MemoryMixerDevice::mixerGetLineInfoA(HMIXER handle, std::uint32_t componentType,
                                              MixerLine* line) {
    record("mixerGetLineInfoA", {handle, componentType});
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
    record("mixerGetLineControlsA", {handle, lineId, controlType});
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
    record("mixerGetControlDetailsA", {handle, controlId});
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    if (valueResult_ != MMSYSERR_NOERROR) return valueResult_;
    auto it = values_.find(controlId);
    if (it == values_.end()) return MIXERR_INVALCONTROL;
    *value = it->second;
    return MMSYSERR_NOERROR;
}

MMRESULT MemoryMixerDevice::mixerSetControlDetails(HMIXER handle, std::uint32_t controlId,
                                                   std::int32_t value) {
    record("mixerSetControlDetails", {handle, controlId, value});
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    if (valueResult_ != MMSYSERR_NOERROR) return valueResult_;
    auto it = values_.find(controlId);
    if (it == values_.end()) return MIXERR_INVALCONTROL;
    it->second = value;
    return MMSYSERR_NOERROR;
}

MMRESULT MemoryMixerDevice::mixerClose(HMIXER handle) {
    record("mixerClose", {handle});
    return handle == kHandle ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

}  // namespace testsupport
