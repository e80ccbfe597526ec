#include "clsvolume.h"

#include <limits>

#include "forms/application.h"
#include "forms/messagebox.h"

using namespace platform;

namespace {

// The magnitude of a reading; the most negative one has none in range and reads as the largest.
std::int32_t magnitude(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::max();
    return value < 0 ? -value : value;
}

}  // namespace

clsVolume::clsVolume() : mixer_(mixerDevice()), waveIn_(waveInDevice()) {
    lastResult = mixer_.mixerOpen(&mixerHandle, 0);

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

clsVolume::~clsVolume() {
    mixer_.mixerClose(mixerHandle);
    if (isRecording) StopInputMeter();
}

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
    std::int32_t read = 0;
    lastResult = mixer_.mixerGetControlDetailsA(mixerHandle, control.dwControlID, &read);
    return lastResult == MMSYSERR_NOERROR ? read : 0;
}

bool clsVolume::SetControlValue(const MixerControl& control, std::int32_t value) {
    lastResult = mixer_.mixerSetControlDetails(mixerHandle, control.dwControlID, value);
    return lastResult == MMSYSERR_NOERROR;
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

std::int32_t clsVolume::MaxVolumeMeterInput() const { return inputPeakMeter.Bounds.lMaximum; }
std::int32_t clsVolume::MinVolumeMeterInput() const { return inputPeakMeter.Bounds.lMinimum; }
std::int32_t clsVolume::MaxVolumeMeterOutput() const { return outputPeakMeter.Bounds.lMaximum; }
std::int32_t clsVolume::MinVolumeMeterOutput() const { return outputPeakMeter.Bounds.lMinimum; }

std::int32_t clsVolume::CurrentVolumeMeterOutput() { return ReadMeter(outputPeakMeter); }

std::int32_t clsVolume::CurrentVolumeMeterInput() {
    if (!StartInputMeter()) StartInputMeter();
    return ReadMeter(inputPeakMeter);
}

std::int32_t clsVolume::ReadMeter(const MixerControl& meter) {
    RequeueDoneBuffers();
    std::int32_t read = 0;
    lastResult = mixer_.mixerGetControlDetailsA(mixerHandle, meter.dwControlID, &read);
    if (lastResult == MMSYSERR_NOERROR) meterValue = magnitude(read);
    return meterValue;
}

bool clsVolume::StartInputMeter() {
    if (isRecording) return true;
    recordFormat = WAVEFORMATEX{};
    recordFormat.wFormatTag = WAVE_FORMAT_PCM;
    recordFormat.nChannels = 1;
    recordFormat.nSamplesPerSec = 8000;
    recordFormat.wBitsPerSample = 8;
    recordFormat.nBlockAlign = recordFormat.wBitsPerSample / 8;
    recordFormat.nAvgBytesPerSec = recordFormat.nSamplesPerSec * recordFormat.nBlockAlign;
    for (std::size_t i = 0; i < 2; ++i) {
        bufferHandles[i] = std::make_unique<Buffer>();
        WAVEHDR& h = bufferHeaders[i];
        h.lpData = bufferHandles[i]->data();
        h.dwBufferLength = kBufferBytes;
        h.dwBytesRecorded = 0;
        h.dwFlags = 0;
    }

    lastResult = waveIn_.waveInOpen(&waveInHandle, 0, recordFormat);
    if (lastResult != MMSYSERR_NOERROR) {
        ReportRecordingError(lastResult);
        for (auto& b : bufferHandles) b.reset();
        return false;
    }
    for (WAVEHDR& h : bufferHeaders) {
        lastResult = waveIn_.waveInPrepareHeader(waveInHandle, &h);
        if (lastResult != MMSYSERR_NOERROR) ReportRecordingError(lastResult);
    }
    for (WAVEHDR& h : bufferHeaders) {
        lastResult = waveIn_.waveInAddBuffer(waveInHandle, &h);
        if (lastResult != MMSYSERR_NOERROR) ReportRecordingError(lastResult);
    }
    isRecording = true;
    lastResult = waveIn_.waveInStart(waveInHandle);
    return true;
}

void clsVolume::RequeueDoneBuffers() {
    if (!isRecording) return;
    for (WAVEHDR& h : bufferHeaders)
        if (h.dwFlags & WHDR_DONE) lastResult = waveIn_.waveInAddBuffer(waveInHandle, &h);
}

void clsVolume::StopInputMeter() {
    isRecording = false;
    waveIn_.waveInReset(waveInHandle);
    waveIn_.waveInStop(waveInHandle);
    for (std::size_t i = 0; i < 2; ++i) {
        waveIn_.waveInUnprepareHeader(waveInHandle, &bufferHeaders[i]);
        bufferHandles[i].reset();
        bufferHeaders[i].lpData = nullptr;
    }
    waveIn_.waveInClose(waveInHandle);
}

void clsVolume::ReportRecordingError(MMRESULT code) {
    errorText.fill('\0');
    waveIn_.waveInGetErrorTextA(code, errorText.data(), WaveInDevice::kMaxErrorText);
    const QString title = forms::applicationTitle() + QStringLiteral(" - Mixercontrol Fehler");
    forms::messageBoxes().showCritical(title, QString::fromUtf8(errorText.data()));
}
