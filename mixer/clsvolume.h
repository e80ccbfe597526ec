#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/mixerdevice.h"
#include "platform/waveindevice.h"

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

    // True when the last mixer call was answered: tells a read's real 0 or false from the 0
    // or false of a read that nothing answered.
    bool LastCallAnswered() const { return lastResult == platform::MMSYSERR_NOERROR; }

    bool VolumeMute();
    bool WaveMute();
    void VolumeMute(bool New_Mute);
    void WaveMute(bool New_Mute);

    std::int32_t MaxVolumeMeterInput() const;
    std::int32_t MinVolumeMeterInput() const;
    std::int32_t MaxVolumeMeterOutput() const;
    std::int32_t MinVolumeMeterOutput() const;
    std::int32_t CurrentVolumeMeterOutput();
    // Starts recording from the first input device on its first read, and keeps it running
    // until the object ends.
    std::int32_t CurrentVolumeMeterInput();

private:
    static constexpr std::size_t kBufferBytes = 8192;
    using Buffer = std::array<std::uint8_t, kBufferBytes>;

    bool StartInputMeter();
    void StopInputMeter();
    void RequeueDoneBuffers();
    std::int32_t ReadMeter(const platform::MixerControl& meter);
    void ReportRecordingError(platform::MMRESULT code);

    using MixerControl = platform::MixerControl;

    bool FindMixerControl(platform::HMIXER hmixer, std::uint32_t componentType,
                          std::uint32_t controlType, MixerControl& control);
    std::int32_t GetControlValue(const MixerControl& control);
    bool SetControlValue(const MixerControl& control, std::int32_t value);
    bool GetMuteSwitch(const MixerControl& control);
    void SetMuteSwitch(const MixerControl& control, bool New_Mute);

    platform::MixerDevice& mixer_;
    platform::WaveInDevice& waveIn_;

    platform::HMIXER mixerHandle = 0;
    MixerControl speakerVolume;
    MixerControl waveVolume;
    MixerControl speakerMute;
    MixerControl waveMute;
    MixerControl speakerBass;
    MixerControl waveBass;
    MixerControl speakerTreble;
    MixerControl waveTreble;
    platform::MMRESULT lastResult = platform::MMSYSERR_NOERROR;
    std::array<char, platform::WaveInDevice::kMaxErrorText> errorText{};
    platform::HWAVEIN waveInHandle = 0;
    platform::WAVEFORMATEX recordFormat;
    std::array<std::unique_ptr<Buffer>, 2> bufferHandles;
    std::array<platform::WAVEHDR, 2> bufferHeaders;
    bool isRecording = false;
    MixerControl inputPeakMeter;
    MixerControl outputPeakMeter;
    // The magnitude of the last meter reading that succeeded.
    std::int32_t meterValue = 0;
};
