#include "waveindevice.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

const char* errorText(MMRESULT code) {
    switch (code) {
    case MMSYSERR_NOERROR: return "The command was carried out.";
    case MMSYSERR_ERROR: return "An error occurred at the sound server.";
    case MMSYSERR_BADDEVICEID: return "There is no recording device with this number.";
    case MMSYSERR_ALLOCATED: return "The recording device is already in use.";
    case MMSYSERR_INVALHANDLE: return "The recording device is not open.";
    case MMSYSERR_NODRIVER: return "No recording device is available: the sound server cannot be reached.";
    case MMSYSERR_NOMEM: return "There is not enough memory to record.";
    case MMSYSERR_NOTSUPPORTED: return "The recording device does not support this function.";
    case MMSYSERR_BADERRNUM: return "The error number is not known.";
    case MMSYSERR_INVALPARAM: return "An invalid parameter was passed to the recording device.";
    case WAVERR_BADFORMAT: return "The recording device does not support this sound format.";
    case WAVERR_STILLPLAYING: return "Buffers are still queued on the recording device.";
    case WAVERR_UNPREPARED: return "The buffer has not been prepared.";
    default: return nullptr;
    }
}

}  // namespace

MMRESULT WaveInDevice::waveInGetErrorTextA(MMRESULT code, char* text, std::uint32_t size) {
    const char* message = errorText(code);
    if (!text || size == 0) return MMSYSERR_INVALPARAM;
    if (!message) {
        text[0] = '\0';
        return MMSYSERR_BADERRNUM;
    }
    const std::size_t n = std::min<std::size_t>(std::strlen(message), size - 1);
    std::memcpy(text, message, n);
    text[n] = '\0';
    return MMSYSERR_NOERROR;
}

}  // namespace platform
