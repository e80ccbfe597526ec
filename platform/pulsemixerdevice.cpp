#include "pulsemixerdevice.h"

#include <algorithm>
#include <array>
#include <optional>

#include "pulsevolume.h"
#include "serverstate.h"

namespace platform {

namespace {

struct ControlInfo {
    std::uint32_t line;
    MixerControl control;
};

constexpr std::array<ControlInfo, 6> kControls{{
    {PulseMixerDevice::kSpeakersLine,
     {PulseMixerDevice::kSpeakerVolume, MIXERCONTROL_CONTROLTYPE_VOLUME, {0, 65535}, 0}},
    {PulseMixerDevice::kSpeakersLine,
     {PulseMixerDevice::kSpeakerMute, MIXERCONTROL_CONTROLTYPE_MUTE, {0, 1}, 0}},
    {PulseMixerDevice::kWaveOutLine,
     {PulseMixerDevice::kWaveVolume, MIXERCONTROL_CONTROLTYPE_VOLUME, {0, 65535}, 0}},
    {PulseMixerDevice::kWaveOutLine,
     {PulseMixerDevice::kWaveMute, MIXERCONTROL_CONTROLTYPE_MUTE, {0, 1}, 0}},
    {PulseMixerDevice::kWaveOutLine,
     {PulseMixerDevice::kOutputPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, {-32768, 32767}, 0}},
    {PulseMixerDevice::kWaveInLine,
     {PulseMixerDevice::kInputPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER, {-32768, 32767}, 0}},
}};

// A level below the scale is silence, one above it full volume.
pa_volume_t serverVolumeOf(std::int32_t level) {
    return toServerVolume(static_cast<std::uint32_t>(std::clamp<std::int32_t>(level, 0, kMaxLevel)));
}

// What a speakers or wave control shows in the server's state as last seen; none while that
// is not known.
std::optional<std::int32_t> knownValue(std::uint32_t controlId) {
    const ServerState& state = ServerState::instance();
    PulseLock lock;
    const ServerState::Sink* sink = state.defaultSink(lock);
    switch (controlId) {
    case PulseMixerDevice::kSpeakerVolume:
        if (!sink) return std::nullopt;
        return toLevel(pa_cvolume_max(&sink->volume));
    case PulseMixerDevice::kSpeakerMute:
        if (!sink) return std::nullopt;
        return sink->mute ? 1 : 0;
    case PulseMixerDevice::kWaveVolume:
        if (const auto volume = state.streamVolume(lock)) return toLevel(*volume);
        return std::nullopt;
    case PulseMixerDevice::kWaveMute:
        if (const auto mute = state.streamMute(lock)) return *mute ? 1 : 0;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

// Sends a speakers or wave control's new value; false when there is nothing to send it to.
bool sendValue(std::uint32_t controlId, std::int32_t value) {
    ServerState& state = ServerState::instance();
    PulseLock lock;
    switch (controlId) {
    case PulseMixerDevice::kSpeakerVolume: return state.setSinkVolume(serverVolumeOf(value), lock);
    case PulseMixerDevice::kSpeakerMute: return state.setSinkMute(value != 0, lock);
    case PulseMixerDevice::kWaveVolume: return state.setStreamVolume(serverVolumeOf(value), lock);
    case PulseMixerDevice::kWaveMute: return state.setStreamMute(value != 0, lock);
    default: return false;
    }
}

}  // namespace

PulseMixerDevice::PulseMixerDevice() {
    ServerState& state = ServerState::instance();
    PulseLock lock;
    state.setSinkListener(
        [this](bool atStart) {
            if (atStart) emit answeredAtStart();
            else emit controlsChanged();
        },
        lock);
}

PulseMixerDevice::~PulseMixerDevice() {
    PulseLock lock;
    ServerState::instance().setSinkListener(nullptr, lock);
}

MMRESULT PulseMixerDevice::mixerOpen(HMIXER* handle, std::uint32_t deviceId) {
    if (deviceId != 0) return MMSYSERR_BADDEVICEID;
    *handle = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;
    return MMSYSERR_NOERROR;
}

MMRESULT PulseMixerDevice::mixerGetLineInfoA(HMIXER handle, std::uint32_t componentType,
                                             MixerLine* line) {
    if (handle == 0) return MMSYSERR_INVALHANDLE;
    std::uint32_t id = 0;
    switch (componentType) {
    case MIXERLINE_COMPONENTTYPE_DST_SPEAKERS: id = kSpeakersLine; break;
    case MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT: id = kWaveOutLine; break;
    case MIXERLINE_COMPONENTTYPE_DST_WAVEIN: id = kWaveInLine; break;
    default: return MIXERR_INVALLINE;
    }
    line->dwLineID = id;
    line->dwComponentType = componentType;
    return MMSYSERR_NOERROR;
}

MMRESULT PulseMixerDevice::mixerGetLineControlsA(HMIXER handle, std::uint32_t lineId,
                                                 std::uint32_t controlType,
                                                 MixerControl* control) {
    if (handle == 0) return MMSYSERR_INVALHANDLE;
    for (const ControlInfo& c : kControls) {
        if (c.line == lineId && c.control.dwControlType == controlType) {
            *control = c.control;
            return MMSYSERR_NOERROR;
        }
    }
    return lineId >= kSpeakersLine && lineId <= kWaveInLine ? MIXERR_INVALCONTROL
                                                            : MIXERR_INVALLINE;
}

MMRESULT PulseMixerDevice::mixerGetControlDetailsA(HMIXER handle, std::uint32_t controlId,
                                                   std::int32_t* value) {
    if (handle == 0) return MMSYSERR_INVALHANDLE;
    switch (controlId) {
    case kSpeakerVolume:
    case kSpeakerMute:
    case kWaveVolume:
    case kWaveMute: {
        const std::optional<std::int32_t> known = knownValue(controlId);
        if (!known) return MMSYSERR_NODRIVER;
        *value = *known;
        return MMSYSERR_NOERROR;
    }
    case kOutputPeak:
        return readMeter(outputMeter_, true, value);
    case kInputPeak:
        return readMeter(inputMeter_, false, value);
    default:
        return MIXERR_INVALCONTROL;
    }
}

MMRESULT PulseMixerDevice::readMeter(PeakMeter& meter, bool output, std::int32_t* value) {
    std::string source;
    {
        const ServerState& state = ServerState::instance();
        PulseLock lock;
        const ServerState::Sink* sink = state.defaultSink(lock);
        if (output && !sink) return MMSYSERR_NODRIVER;
        source = output ? sink->monitor : state.defaultSource(lock);
    }
    return meter.read(source, value) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

MMRESULT PulseMixerDevice::mixerSetControlDetails(HMIXER handle, std::uint32_t controlId,
                                                  std::int32_t value) {
    if (handle == 0) return MMSYSERR_INVALHANDLE;
    switch (controlId) {
    case kSpeakerVolume:
    case kSpeakerMute:
    case kWaveVolume:
    case kWaveMute:
        return sendValue(controlId, value) ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
    case kOutputPeak:
    case kInputPeak:
        return MMSYSERR_INVALPARAM;  // meters are read-only
    default:
        return MIXERR_INVALCONTROL;
    }
}

MMRESULT PulseMixerDevice::mixerClose(HMIXER handle) {
    return handle == 0 ? MMSYSERR_INVALHANDLE : MMSYSERR_NOERROR;
}

constinit base::Replaceable<MixerDevice> mixerDevice{
    base::madeOnFirstUse<MixerDevice, PulseMixerDevice>};

}  // namespace platform
