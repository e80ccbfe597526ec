#pragma once

#include <memory>

#include "mixerdevice.h"

namespace platform {

class PeakMeter;

// The mixer of the sound server. Lines and controls:
//   speakers destination = the default sink: volume (0..65535, 65535 the sink's normal
//     100%, written to all channels, read as the loudest), mute;
//   wave-output source = the program's own sound output: volume and mute of the player's
//     stream, and a peak meter on the default sink's monitor;
//   recording destination = the default source: a peak meter.
// Peak meters read the loudest recent sample on -32768..32767. There is no bass, treble or
// microphone line. Every wait on the server is bounded.
class PulseMixerDevice : public MixerDevice {
public:
    PulseMixerDevice();
    ~PulseMixerDevice() override;

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

    // Line and control identifiers this device reports.
    enum LineId : std::uint32_t { kSpeakersLine = 1, kWaveOutLine = 2, kWaveInLine = 3 };
    enum ControlId : std::uint32_t {
        kSpeakerVolume = 1,
        kSpeakerMute,
        kWaveVolume,
        kWaveMute,
        kOutputPeak,
        kInputPeak,
    };

private:
    std::unique_ptr<PeakMeter> outputMeter_;
    std::unique_ptr<PeakMeter> inputMeter_;
    HMIXER nextHandle_ = 1;
};

}  // namespace platform
