#pragma once

#include <cstdint>

#include "platform/mixerdevice.h"

// The program's access to the system mixer. Construction opens the first mixer device and
// looks up every control once; the properties then read and write those controls by their
// identifiers. No property reports a failure: a failed read gives 0 or false, a failed write
// is dropped, a control that was not found has identifier 0 and bounds 0.
class clsVolume {
public:
    clsVolume();
    ~clsVolume();
    clsVolume(const clsVolume&) = delete;
    clsVolume& operator=(const clsVolume&) = delete;

    std::int32_t VolumeMin() const;
    std::int32_t WaveMin() const;
    std::int32_t VolTrebleMin() const;
    std::int32_t WaveTrebleMin() const;
    std::int32_t VolBassMin() const;
    std::int32_t WaveBassMin() const;
    std::int32_t VolumeMax() const;
    std::int32_t WaveMax() const;
    std::int32_t VolTrebleMax() const;
    std::int32_t VolBassMax() const;

    std::int32_t VolumeLevel();
    std::int32_t WaveLevel();
    std::int32_t VolumeLevelBass();
    std::int32_t VolumeLevelTreble();
    void WaveLevel(std::int32_t New_Volume);
    void VolumeLevel(std::int32_t New_Volume);
    void WaveLevelBass(std::int32_t New_Bass);
    void VolumeLevelBass(std::int32_t New_Bass);
    void WaveLevelTreble(std::int32_t New_Treble);
    void VolumeLevelTreble(std::int32_t New_Treble);

    bool VolumeMute();
    bool WaveMute();
    void VolumeMute(bool New_Mute);
    void WaveMute(bool New_Mute);

private:
    using MixerControl = platform::MixerControl;

    bool FindMixerControl(platform::HMIXER hmixer, std::uint32_t componentType,
                          std::uint32_t controlType, MixerControl& control);
    std::int32_t GetControlValue(const MixerControl& control);
    bool SetControlValue(const MixerControl& control, std::int32_t value);
    bool GetMuteSwitch(const MixerControl& control);
    void SetMuteSwitch(const MixerControl& control, bool New_Mute);

    platform::MixerDevice& mixer_;

    platform::HMIXER mixerHandle = 0;
    MixerControl speakerVolume;
    MixerControl waveVolume;
    MixerControl speakerMute;
    MixerControl waveMute;
    MixerControl speakerBass;
    MixerControl waveBass;
    MixerControl speakerTreble;
    MixerControl waveTreble;
    std::int32_t lastResult = 0;
    MixerControl inputPeakMeter;
    MixerControl outputPeakMeter;
};
