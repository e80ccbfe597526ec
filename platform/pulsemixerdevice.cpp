#include "pulsemixerdevice.h"

#include <algorithm>
#include <array>

#include "peakmeter.h"
#include "pulseconnection.h"
#include "pulsevolume.h"
#include "replaceable.h"
#include "soundplayer.h"

namespace platform {

namespace {

constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

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


struct SinkState {
    bool ok = false;
    pa_cvolume volume{};
    bool mute = false;
};

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
    if (eol || !info) return;
    auto* state = static_cast<SinkState*>(data);
    state->ok = true;
    state->volume = info->volume;
    state->mute = info->mute != 0;
}

struct Outcome {
    bool done = false;
    bool ok = false;
};

void onSuccess(pa_context*, int success, void* data) {
    auto* outcome = static_cast<Outcome*>(data);
    outcome->done = true;
    outcome->ok = success != 0;
}

// With the lock held.
bool readDefaultSink(PulseConnection& pulse, pa_context* c, SinkState* state) {
    return pulse.waitFor(pa_context_get_sink_info_by_name(c, kDefaultSink, &onSinkInfo, state)) &&
           state->ok;
}

bool confirm(PulseConnection& pulse, pa_operation* op, Outcome* outcome) {
    return pulse.waitFor(op) && outcome->ok;
}

MMRESULT readSpeakers(std::uint32_t controlId, std::int32_t* value) {
    auto& pulse = PulseConnection::instance();
    PulseConnection::Lock lock;
    pa_context* c = pulse.context();
    if (!c) return MMSYSERR_NODRIVER;
    SinkState sink;
    if (!readDefaultSink(pulse, c, &sink)) return MMSYSERR_ERROR;
    *value = controlId == PulseMixerDevice::kSpeakerMute ? (sink.mute ? 1 : 0)
                                                          : std::int32_t(toLevel(pa_cvolume_max(&sink.volume)));
    return MMSYSERR_NOERROR;
}

MMRESULT writeSpeakers(std::uint32_t controlId, std::int32_t value) {
    auto& pulse = PulseConnection::instance();
    PulseConnection::Lock lock;
    pa_context* c = pulse.context();
    if (!c) return MMSYSERR_NODRIVER;
    Outcome outcome;
    pa_operation* op = nullptr;
    if (controlId == PulseMixerDevice::kSpeakerMute) {
        op = pa_context_set_sink_mute_by_name(c, kDefaultSink, value != 0, &onSuccess, &outcome);
    } else {
        SinkState sink;  // for its channel count
        if (!readDefaultSink(pulse, c, &sink)) return MMSYSERR_ERROR;
        pa_cvolume volume;
        pa_cvolume_set(&volume, sink.volume.channels, toServerVolume(static_cast<std::uint32_t>(value)));
        op = pa_context_set_sink_volume_by_name(c, kDefaultSink, &volume, &onSuccess, &outcome);
    }
    return confirm(pulse, op, &outcome) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

}  // namespace

PulseMixerDevice::PulseMixerDevice()
    : outputMeter_(std::make_unique<PeakMeter>("@DEFAULT_MONITOR@")),
      inputMeter_(std::make_unique<PeakMeter>("")) {
    // Made first, so that the connection outlives a device kept in a static.
    PulseConnection::instance();
}

PulseMixerDevice::~PulseMixerDevice() = default;

MMRESULT PulseMixerDevice::mixerOpen(HMIXER* handle, std::uint32_t deviceId) {
    if (deviceId != 0) return MMSYSERR_BADDEVICEID;
    {
        PulseConnection::Lock lock;
        if (!PulseConnection::instance().context()) return MMSYSERR_NODRIVER;
    }
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
        return readSpeakers(controlId, value);
    case kWaveVolume:
        *value = static_cast<std::int32_t>(std::min<std::uint32_t>(outputVolume(), kMaxLevel));
        return MMSYSERR_NOERROR;
    case kWaveMute:
        *value = outputMute() ? 1 : 0;
        return MMSYSERR_NOERROR;
    case kOutputPeak:
        return outputMeter_->read(value) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
    case kInputPeak:
        return inputMeter_->read(value) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
    default:
        return MIXERR_INVALCONTROL;
    }
}

MMRESULT PulseMixerDevice::mixerSetControlDetails(HMIXER handle, std::uint32_t controlId,
                                                  std::int32_t value) {
    if (handle == 0) return MMSYSERR_INVALHANDLE;
    switch (controlId) {
    case kSpeakerVolume:
    case kSpeakerMute:
        return writeSpeakers(controlId, value);
    case kWaveVolume:
        setOutputVolume(std::min<std::uint32_t>(static_cast<std::uint32_t>(value), kMaxLevel));
        return MMSYSERR_NOERROR;
    case kWaveMute:
        setOutputMute(value != 0);
        return MMSYSERR_NOERROR;
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

MixerDevice& mixerDevice() { return Replaceable<MixerDevice, PulseMixerDevice>::get(); }

void setMixerDevice(MixerDevice* device) { Replaceable<MixerDevice, PulseMixerDevice>::set(device); }

}  // namespace platform
