#include "clsvolume.h"

using namespace platform;

clsVolume::clsVolume() : mixer_(mixerDevice()) {
    lastResult = static_cast<std::int32_t>(mixer_.mixerOpen(&mixerHandle, 0));

    const HMIXER h = mixerHandle;
    constexpr auto speakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    constexpr auto wave = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    FindMixerControl(h, speakers, MIXERCONTROL_CONTROLTYPE_VOLUME, speakerVolume);
    FindMixerControl(h, wave, MIXERCONTROL_CONTROLTYPE_VOLUME, waveVolume);
    FindMixerControl(h, speakers, MIXERCONTROL_CONTROLTYPE_MUTE, speakerMute);
    FindMixerControl(h, wave, MIXERCONTROL_CONTROLTYPE_MUTE, waveMute);
    FindMixerControl(h, speakers, MIXERCONTROL_CONTROLTYPE_BASS, speakerBass);
    FindMixerControl(h, wave, MIXERCONTROL_CONTROLTYPE_BASS, waveBass);
    FindMixerControl(h, speakers, MIXERCONTROL_CONTROLTYPE_TREBLE, speakerTreble);
    FindMixerControl(h, wave, MIXERCONTROL_CONTROLTYPE_TREBLE, waveTreble);

    if (!FindMixerControl(h, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                          MIXERCONTROL_CONTROLTYPE_PEAKMETER, inputPeakMeter))
        FindMixerControl(h, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
                         MIXERCONTROL_CONTROLTYPE_PEAKMETER, inputPeakMeter);
    FindMixerControl(h, wave, MIXERCONTROL_CONTROLTYPE_PEAKMETER, outputPeakMeter);
}

clsVolume::~clsVolume() { mixer_.mixerClose(mixerHandle); }

bool clsVolume::FindMixerControl(HMIXER hmixer, std::uint32_t componentType,
                                 std::uint32_t controlType, MixerControl& control) {
    MixerLine line;
    if (mixer_.mixerGetLineInfoA(hmixer, componentType, &line) != MMSYSERR_NOERROR) return false;
    MixerControl found;
    if (mixer_.mixerGetLineControlsA(hmixer, line.dwLineID, controlType, &found) !=
        MMSYSERR_NOERROR)
        return false;
    control = found;
    return true;
}

std::int32_t clsVolume::GetControlValue(const MixerControl& control) {
    std::int32_t value = 0;
    std::int32_t read = 0;
    lastResult = static_cast<std::int32_t>(
        mixer_.mixerGetControlDetailsA(mixerHandle, control.dwControlID, &read));
    if (lastResult == static_cast<std::int32_t>(MMSYSERR_NOERROR)) value = read;
    return value;
}

bool clsVolume::SetControlValue(const MixerControl& control, std::int32_t value) {
    lastResult = static_cast<std::int32_t>(
        mixer_.mixerSetControlDetails(mixerHandle, control.dwControlID, value));
    return lastResult == static_cast<std::int32_t>(MMSYSERR_NOERROR);
}

bool clsVolume::GetMuteSwitch(const MixerControl& control) { return GetControlValue(control) == 1; }

void clsVolume::SetMuteSwitch(const MixerControl& control, bool New_Mute) {
    SetControlValue(control, New_Mute ? 1 : 0);
}

std::int32_t clsVolume::VolumeMin() const { return speakerVolume.Bounds.lMinimum; }
std::int32_t clsVolume::WaveMin() const { return waveVolume.Bounds.lMinimum; }
std::int32_t clsVolume::VolTrebleMin() const { return speakerTreble.Bounds.lMinimum; }
std::int32_t clsVolume::WaveTrebleMin() const { return waveTreble.Bounds.lMinimum; }
std::int32_t clsVolume::VolBassMin() const { return speakerBass.Bounds.lMinimum; }
std::int32_t clsVolume::WaveBassMin() const { return waveBass.Bounds.lMinimum; }
std::int32_t clsVolume::VolumeMax() const { return speakerVolume.Bounds.lMaximum; }
std::int32_t clsVolume::WaveMax() const { return waveVolume.Bounds.lMaximum; }
std::int32_t clsVolume::VolTrebleMax() const { return speakerTreble.Bounds.lMaximum; }
std::int32_t clsVolume::VolBassMax() const { return speakerBass.Bounds.lMaximum; }

std::int32_t clsVolume::VolumeLevel() { return GetControlValue(speakerVolume); }
std::int32_t clsVolume::WaveLevel() { return GetControlValue(waveVolume); }
std::int32_t clsVolume::VolumeLevelBass() { return GetControlValue(speakerBass); }
std::int32_t clsVolume::VolumeLevelTreble() { return GetControlValue(speakerTreble); }
void clsVolume::WaveLevel(std::int32_t New_Volume) { SetControlValue(waveVolume, New_Volume); }
void clsVolume::VolumeLevel(std::int32_t New_Volume) { SetControlValue(speakerVolume, New_Volume); }
void clsVolume::WaveLevelBass(std::int32_t New_Bass) { SetControlValue(waveBass, New_Bass); }
void clsVolume::VolumeLevelBass(std::int32_t New_Bass) { SetControlValue(speakerBass, New_Bass); }
void clsVolume::WaveLevelTreble(std::int32_t New_Treble) { SetControlValue(waveTreble, New_Treble); }
void clsVolume::VolumeLevelTreble(std::int32_t New_Treble) {
    SetControlValue(speakerTreble, New_Treble);
}

bool clsVolume::VolumeMute() { return GetMuteSwitch(speakerMute); }
bool clsVolume::WaveMute() { return GetMuteSwitch(waveMute); }
void clsVolume::VolumeMute(bool New_Mute) { SetMuteSwitch(speakerMute, New_Mute); }
void clsVolume::WaveMute(bool New_Mute) { SetMuteSwitch(waveMute, New_Mute); }
