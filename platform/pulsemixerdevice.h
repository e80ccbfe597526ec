#pragma once

#include "mixerdevice.h"
#include "peakmeter.h"

namespace platform {

// The mixer of the sound server. Lines and controls:
//   speakers destination = the default sink: volume (0..65535, 65535 the sink's normal 100%;
//     read as the loudest channel, above 65535 where the desktop raised it over 100%; written
//     to the loudest channel keeping the balance, at most 100%), mute;
//   wave-output source = the program's own playback stream as the desktop's per-application
//     mixer shows it: volume and mute, and a peak meter on the default sink's monitor;
//   recording destination = the default source: a peak meter.
// Peak meters read the loudest recent sample on -32768..32767. There is no bass, treble or
// microphone line. The device opens whether or not a server answers: it is the server
// whenever there is one. Reads answer from the server's state as last seen and writes are
// not waited for, so no call waits on the server but the meter reads.
class PulseMixerDevice : public MixerDevice {
    Q_OBJECT

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
    MMRESULT readMeter(PeakMeter& meter, bool output, std::int32_t* value);

    PeakMeter outputMeter_;
    PeakMeter inputMeter_;
    HMIXER nextHandle_ = 1;
};

}  // namespace platform
