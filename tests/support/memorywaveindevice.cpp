#include "memorywaveindevice.h"

#include <algorithm>

namespace testsupport {

int MemoryWaveInDevice::headerIndex(const WAVEHDR* header) {
    auto it = std::find(headers_.begin(), headers_.end(), header);
    if (it != headers_.end()) return int(it - headers_.begin());
    headers_.push_back(header);
    return int(headers_.size() - 1);
}

std::size_t MemoryWaveInDevice::count(const std::string& operation) const {
    return std::count_if(calls_.begin(), calls_.end(),
                         [&](const Call& c) { return c.operation == operation; });
}

MMRESULT MemoryWaveInDevice::answer(const std::string& operation,
                                    std::vector<std::int64_t> arguments) {
    calls_.push_back({operation, std::move(arguments)});
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

MMRESULT MemoryWaveInDevice::waveInOpen(HWAVEIN* handle, std::uint32_t deviceId,
                                        const WAVEFORMATEX& f) {
    const MMRESULT r = answer("waveInOpen", {deviceId, f.wFormatTag, f.nChannels, f.nSamplesPerSec,
                                             f.nAvgBytesPerSec, f.nBlockAlign, f.wBitsPerSample,
                                             f.cbSize});
    if (r == MMSYSERR_NOERROR) *handle = kHandle;
    return r;
}

MMRESULT MemoryWaveInDevice::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) {
    const MMRESULT r = answer("waveInPrepareHeader", {handle, headerIndex(header),
                                                      header->dwBufferLength});
    if (r == MMSYSERR_NOERROR) header->dwFlags |= WHDR_PREPARED;
    return r;
}

MMRESULT MemoryWaveInDevice::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) {
    const MMRESULT r = answer("waveInAddBuffer", {handle, headerIndex(header)});
    if (r == MMSYSERR_NOERROR) {
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        queue_.push_back(header);
    }
    return r;
}

MMRESULT MemoryWaveInDevice::waveInStart(HWAVEIN handle) { return answer("waveInStart", {handle}); }

MMRESULT MemoryWaveInDevice::waveInReset(HWAVEIN handle) {
    while (completeNextBuffer()) {}
    return answer("waveInReset", {handle});
}

MMRESULT MemoryWaveInDevice::waveInStop(HWAVEIN handle) { return answer("waveInStop", {handle}); }

MMRESULT MemoryWaveInDevice::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) {
    header->dwFlags &= ~WHDR_PREPARED;
    return answer("waveInUnprepareHeader", {handle, headerIndex(header)});
}

MMRESULT MemoryWaveInDevice::waveInClose(HWAVEIN handle) { return answer("waveInClose", {handle}); }

}  // namespace testsupport
