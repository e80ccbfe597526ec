#include "pulsewaveindevice.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

bool supported(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 1 &&
           f.nSamplesPerSec <= PA_RATE_MAX && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

void markDone(WAVEHDR* h) { h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE; }

void onStreamState(pa_stream*, void*) { PulseConnection::instance().signal(); }

}  // namespace

PulseWaveInDevice::PulseWaveInDevice() {
    PulseLock lock;
    PulseConnection::instance().addUser(this, lock);
}

PulseWaveInDevice::~PulseWaveInDevice() {
    PulseLock lock;
    PulseConnection::instance().removeUser(this, lock);
    for (auto& [handle, r] : recordings_) releaseStream(r->stream, lock);
}

PulseWaveInDevice::Recording* PulseWaveInDevice::find(HWAVEIN handle, const PulseLock&) {
    auto it = recordings_.find(handle);
    return it == recordings_.end() ? nullptr : it->second.get();
}

bool PulseWaveInDevice::openStream(pa_context* context, Recording& r, const PulseLock& lock) {
    r.stream = pa_stream_new(context, "Quorvane recording", &r.spec, nullptr);
    if (!r.stream) return false;
    pa_stream_set_read_callback(r.stream, &PulseWaveInDevice::onRead, &r);
    pa_stream_set_state_callback(r.stream, &onStreamState, nullptr);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_bytes_per_second(&r.spec) / 20);  // 50 ms
    int flags = PA_STREAM_ADJUST_LATENCY | (r.started ? 0 : PA_STREAM_START_CORKED);
    if (pa_stream_connect_record(r.stream, nullptr, &attr, static_cast<pa_stream_flags_t>(flags)) == 0)
        return true;
    releaseStream(r.stream, lock);
    r.stream = nullptr;
    return false;
}

void PulseWaveInDevice::connected(pa_context* context, const PulseLock& lock) {
    for (auto& [handle, r] : recordings_) openStream(context, *r, lock);
}

void PulseWaveInDevice::disconnected(const PulseLock& lock) {
    for (auto& [handle, r] : recordings_) {
        releaseStream(r->stream, lock);
        r->stream = nullptr;
    }
}

MMRESULT PulseWaveInDevice::waveInOpen(HWAVEIN* handle, std::uint32_t deviceId,
                                       const WAVEFORMATEX& format) {
    if (deviceId != 0) return MMSYSERR_BADDEVICEID;
    if (!supported(format)) return WAVERR_BADFORMAT;
    auto& pulse = PulseConnection::instance();
    PulseLock lock;
    pa_context* c = pulse.ready(lock);
    if (!c) return MMSYSERR_NODRIVER;

    auto r = std::make_unique<Recording>();
    r->spec = {format.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE, format.nSamplesPerSec,
               static_cast<std::uint8_t>(format.nChannels)};
    if (!openStream(c, *r, lock)) return MMSYSERR_NOMEM;
    pa_stream* s = r->stream;
    pulse.waitUntil(lock, [s] { return pa_stream_get_state(s) != PA_STREAM_CREATING; });
    if (pa_stream_get_state(s) != PA_STREAM_READY) {
        releaseStream(s, lock);
        return MMSYSERR_BADDEVICEID;  // the server has no source to record from
    }
    *handle = nextHandle_++;
    recordings_[*handle] = std::move(r);
    return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDevice::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) {
    PulseLock lock;
    if (!find(handle, lock)) return MMSYSERR_INVALHANDLE;
    if (!header || !header->lpData || header->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDevice::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) {
    PulseLock lock;
    Recording* r = find(handle, lock);
    if (!r) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwBytesRecorded = 0;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    r->queue.push_back(header);
    return MMSYSERR_NOERROR;
}

PulseWaveInDevice::Recording* PulseWaveInDevice::setRunning(HWAVEIN handle, bool running,
                                                            const PulseLock& lock) {
    Recording* r = find(handle, lock);
    if (!r) return nullptr;
    r->started = running;
    if (r->stream) forget(pa_stream_cork(r->stream, running ? 0 : 1, nullptr, nullptr));
    return r;
}

MMRESULT PulseWaveInDevice::waveInStart(HWAVEIN handle) {
    PulseLock lock;
    return setRunning(handle, true, lock) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

void PulseWaveInDevice::returnAll(Recording& r) {
    for (WAVEHDR* h : r.queue) markDone(h);
    r.queue.clear();
}

MMRESULT PulseWaveInDevice::waveInReset(HWAVEIN handle) {
    PulseLock lock;
    Recording* r = setRunning(handle, false, lock);
    if (!r) return MMSYSERR_INVALHANDLE;
    returnAll(*r);
    return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDevice::waveInStop(HWAVEIN handle) {
    PulseLock lock;
    Recording* r = setRunning(handle, false, lock);
    if (!r) return MMSYSERR_INVALHANDLE;
    // A partly filled buffer is handed back with what it holds.
    if (!r->queue.empty() && r->queue.front()->dwBytesRecorded > 0) {
        markDone(r->queue.front());
        r->queue.pop_front();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDevice::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) {
    PulseLock lock;
    if (!find(handle, lock)) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDevice::waveInClose(HWAVEIN handle) {
    PulseLock lock;
    Recording* r = find(handle, lock);
    if (!r) return MMSYSERR_INVALHANDLE;
    if (!r->queue.empty()) return WAVERR_STILLPLAYING;
    releaseStream(r->stream, lock);
    recordings_.erase(handle);
    return MMSYSERR_NOERROR;
}

void PulseWaveInDevice::onRead(pa_stream* s, std::size_t, void* recording) {
    auto& r = *static_cast<Recording*>(recording);
    const int silence = r.spec.format == PA_SAMPLE_U8 ? 0x80 : 0;
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0) {
        const auto* from = static_cast<const std::uint8_t*>(data);
        std::size_t left = r.started ? bytes : 0;  // input before the start is not kept
        while (left > 0 && !r.queue.empty()) {
            WAVEHDR* h = r.queue.front();
            const std::size_t n = std::min<std::size_t>(left, h->dwBufferLength - h->dwBytesRecorded);
            if (data) std::memcpy(h->lpData + h->dwBytesRecorded, from, n);
            else std::memset(h->lpData + h->dwBytesRecorded, silence, n);  // a hole is silence
            h->dwBytesRecorded += static_cast<std::uint32_t>(n);
            if (data) from += n;
            left -= n;
            if (h->dwBytesRecorded == h->dwBufferLength) {
                markDone(h);
                r.queue.pop_front();
            }
        }
        pa_stream_drop(s);
    }
}

constinit base::Replaceable<WaveInDevice> waveInDevice{
    base::madeOnFirstUse<WaveInDevice, PulseWaveInDevice>};

}  // namespace platform
