#include "memorywaveindevice.h"

namespace testsupport {

namespace {

constexpr HWAVEIN kHandle = 0x5731;

}  // namespace

MMRESULT MemoryWaveInDevice::result(const std::string& operation) const {
    auto it = results_.find(operation);
    return it == results_.end() ? MMSYSERR_NOERROR : it->second;
}

bool MemoryWaveInDevice::completeNextBuffer() {
    if (queue_.empty()) return false;
    WAVEHDR* h = queue_.front();
    queue_.erase(queue_.begin());
    h->dwBytesRecorded = h->dwBufferLength;
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    return true;
}

std::vector<std::uint32_t> MemoryWaveInDevice::bufferLengths() const {
    std::vector<std::uint32_t> lengths;
    for (const WAVEHDR* h : queue_) lengths.push_back(h->dwBufferLength);
    return lengths;
}

MMRESULT MemoryWaveInDevice::waveInOpen(HWAVEIN* handle, std::uint32_t deviceId,
                                        const WAVEFORMATEX& format) {
    const MMRESULT r = deviceId == 0 ? result("waveInOpen") : MMSYSERR_BADDEVICEID;
    if (r != MMSYSERR_NOERROR) return r;
    *handle = kHandle;
    format_ = format;
    ++opens_;
    open_ = true;
    return r;
}

MMRESULT MemoryWaveInDevice::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) {
    const MMRESULT r = handle == kHandle ? result("waveInPrepareHeader") : MMSYSERR_INVALHANDLE;
    if (r != MMSYSERR_NOERROR) return r;
    header->dwFlags |= WHDR_PREPARED;
    prepared_.insert(header);
    return r;
}

MMRESULT MemoryWaveInDevice::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) {
    const MMRESULT r = handle == kHandle ? result("waveInAddBuffer") : MMSYSERR_INVALHANDLE;
    if (r != MMSYSERR_NOERROR) return r;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    queue_.push_back(header);
    return r;
}

MMRESULT MemoryWaveInDevice::waveInStart(HWAVEIN handle) {
    const MMRESULT r = handle == kHandle ? result("waveInStart") : MMSYSERR_INVALHANDLE;
    if (r == MMSYSERR_NOERROR) started_ = true;
    return r;
}

MMRESULT MemoryWaveInDevice::waveInReset(HWAVEIN handle) {
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    while (completeNextBuffer()) {}
    started_ = false;
    return result("waveInReset");
}

MMRESULT MemoryWaveInDevice::waveInStop(HWAVEIN handle) {
    const MMRESULT r = handle == kHandle ? result("waveInStop") : MMSYSERR_INVALHANDLE;
    if (r == MMSYSERR_NOERROR) started_ = false;
    return r;
}

MMRESULT MemoryWaveInDevice::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) {
    if (handle != kHandle) return MMSYSERR_INVALHANDLE;
    header->dwFlags &= ~WHDR_PREPARED;
    prepared_.erase(header);
    return result("waveInUnprepareHeader");
}

MMRESULT MemoryWaveInDevice::waveInClose(HWAVEIN handle) {
    const MMRESULT r = handle == kHandle ? result("waveInClose") : MMSYSERR_INVALHANDLE;
    if (r == MMSYSERR_NOERROR) open_ = false;
    return r;
}

}  // namespace testsupport
