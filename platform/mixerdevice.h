#pragma once

#include <QObject>

#include <cstdint>

#include "base/replaceable.h"

namespace platform {

using MMRESULT = std::uint32_t;
using HMIXER = std::uint32_t;

// Result codes, with the values of the original multimedia calls.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MIXERR_INVALLINE = 1024;
constexpr MMRESULT MIXERR_INVALCONTROL = 1025;

// Line component types.
constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7;
constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;

// Control types.
constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001;
constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_BASS = 0x50030002;
constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_TREBLE = 0x50030003;

// One line of the mixer as a lookup reports it.
struct MixerLine {
    std::uint32_t dwLineID = 0;
    std::uint32_t dwComponentType = 0;
};

// One control of a line: identifier, kind, signed bounds and item count. A control that was
// never found keeps every member zero.
struct MixerControl {
    std::uint32_t dwControlID = 0;
    std::uint32_t dwControlType = 0;
    struct {
        std::int32_t lMinimum = 0;
        std::int32_t lMaximum = 0;
    } Bounds;
    std::uint32_t cMultipleItems = 0;
};

// A mixer back-end: open the first device, find the first line of a component type and the
// first control of a control type on a line, read and write one 32-bit value of a control
// (one value for all channels), close. Each call answers with a result code.
class MixerDevice : public QObject {
    Q_OBJECT

public:
    ~MixerDevice() override = default;

    virtual MMRESULT mixerOpen(HMIXER* handle, std::uint32_t deviceId) = 0;
    virtual MMRESULT mixerGetLineInfoA(HMIXER handle, std::uint32_t componentType,
                                       MixerLine* line) = 0;
    virtual MMRESULT mixerGetLineControlsA(HMIXER handle, std::uint32_t lineId,
                                           std::uint32_t controlType, MixerControl* control) = 0;
    virtual MMRESULT mixerGetControlDetailsA(HMIXER handle, std::uint32_t controlId,
                                             std::int32_t* value) = 0;
    virtual MMRESULT mixerSetControlDetails(HMIXER handle, std::uint32_t controlId,
                                            std::int32_t value) = 0;
    virtual MMRESULT mixerClose(HMIXER handle) = 0;

signals:
    // A control changed through someone else: another program, media keys, a new default
    // device, a server that came after the start or came back after a restart. Raised from
    // any thread; receivers in another thread hear of it through their event loop.
    void controlsChanged();
    // The server that was there when the device was opened has answered for the first time:
    // its controls can now be read as if they had been there at the opening.
    void answeredAtStart();
};

// The process's mixer device: the sound server's unless a test has put another in its place.
extern base::Replaceable<MixerDevice> mixerDevice;

}  // namespace platform
