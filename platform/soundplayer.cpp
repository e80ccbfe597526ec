#include "soundplayer.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include <pulse/pulseaudio.h>

#include "defaultsound.h"
#include "pulseconnection.h"
#include "pulsevolume.h"
#include "riffreader.h"

namespace platform {

namespace {

constexpr std::uint32_t kTargetMs = 50;  // server-side buffer: small for a quick start
constexpr std::size_t kLargestWrite = 1 << 20;
// A drained stream's last samples may still wait in the sink's own buffer; disconnecting
// would discard them, so a drained stream stays connected this long.
constexpr pa_usec_t kRetireAfterDrain = 1000 * PA_USEC_PER_MSEC;

// What to play: the samples (owned, so that no module's lifetime matters) and their format.
struct Sound {
    std::vector<std::uint8_t> bytes;
    pa_sample_spec spec{};
    bool loop = false;
};

Sound makeSound(const WaveClip& clip, bool loop) {
    Sound sound;
    sound.bytes.assign(clip.samples.begin(), clip.samples.end());
    sound.spec.format = clip.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    sound.spec.rate = clip.sampleRate;
    sound.spec.channels = 1;
    sound.loop = loop;
    return sound;
}

pa_cvolume toCvolume(std::uint32_t volume) {
    pa_cvolume cv;
    pa_cvolume_set(&cv, 1, toServerVolume(volume));
    return cv;
}

// The program's one playback stream and what it plays. Every member is guarded by the
// connection's lock: the public calls take it, the stream callbacks run with it held.
class Player {
public:
    static Player& instance() {
        static Player player;
        return player;
    }

    bool play(Sound sound) {
        closeStream();
        request_ = std::move(sound);
        pa_context* context = connection_.contextNow();  // may fail at once, dropping request_
        if (context) openStream(context);
        return stream_ || request_.has_value();
    }

    bool stop() {
        request_.reset();
        closeStream();
        return connection_.contextNow() || connection_.isConnecting();
    }

    void setVolume(std::uint32_t volume) {
        volume_ = std::min(volume, kMaxLevel);
        if (!streamReady()) return;
        const pa_cvolume cv = toCvolume(volume_);
        release(pa_context_set_sink_input_volume(context(), pa_stream_get_index(stream_), &cv,
                                                 nullptr, nullptr));
    }

    void setMute(bool mute) {
        mute_ = mute;
        if (!streamReady()) return;
        release(pa_context_set_sink_input_mute(context(), pa_stream_get_index(stream_), mute_,
                                               nullptr, nullptr));
    }

    std::uint32_t volume() const { return volume_; }
    bool mute() const { return mute_; }

private:
    Player() : connection_(PulseConnection::instance()) {
        connection_.addStateListener([this](pa_context_state_t state) { onContextState(state); });
    }

    // The connection outlives the player; its stream must not call back into a dead player.
    ~Player() {
        PulseConnection::Lock lock;
        request_.reset();
        closeStream();
    }

    static void release(pa_operation* op) {
        if (op) pa_operation_unref(op);
    }

    pa_context* context() const { return pa_stream_get_context(stream_); }

    bool streamReady() const { return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY; }

    void onContextState(pa_context_state_t state) {
        if (state == PA_CONTEXT_READY && request_ && !stream_)
            openStream(connection_.contextNow());
        else if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
            request_.reset();
    }

    void openStream(pa_context* context) {
        sound_ = std::move(*request_);
        request_.reset();
        position_ = 0;
        stream_ = pa_stream_new(context, "Quorvane", &sound_.spec, nullptr);
        if (!stream_) return;
        pa_stream_set_state_callback(stream_, &Player::onStreamState, this);
        pa_stream_set_write_callback(stream_, &Player::onWrite, this);

        const auto frame = static_cast<std::uint32_t>(pa_frame_size(&sound_.spec));
        const auto target = static_cast<std::uint32_t>(
            pa_usec_to_bytes(kTargetMs * PA_USEC_PER_MSEC, &sound_.spec));
        const auto whole = static_cast<std::uint32_t>(
            std::min<std::size_t>(sound_.bytes.size(), UINT32_MAX));
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = target;
        // Playback starts with the first write: a one-shot clip is written whole at once and
        // a loop fills the whole target, so prebuffering never waits for more.
        attr.prebuf = std::max(frame, sound_.loop ? target / 2 : std::min(whole, target / 2));
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);

        connectedVolume_ = volume_;
        connectedMute_ = mute_;
        const pa_cvolume cv = toCvolume(volume_);
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | (mute_ ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED));
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, &cv, nullptr) < 0)
            forgetStream(stream_);
    }

    // Flushing and disconnecting silences the old sound at once. A stream that the server has
    // not confirmed yet cannot be disconnected; it is retired as soon as it is confirmed.
    void closeStream() {
        cancelRetirement();
        if (!stream_) return;
        pa_stream* s = stream_;
        stream_ = nullptr;
        pa_stream_set_write_callback(s, nullptr, nullptr);
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY:
            pa_stream_set_state_callback(s, nullptr, nullptr);
            release(pa_stream_flush(s, nullptr, nullptr));
            pa_stream_disconnect(s);
            pa_stream_unref(s);
            break;
        case PA_STREAM_CREATING:
            pa_stream_set_state_callback(s, &Player::onRetiredState, nullptr);
            break;
        default:
            pa_stream_set_state_callback(s, nullptr, nullptr);
            pa_stream_unref(s);
        }
    }

    void forgetStream(pa_stream* s) {
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_set_write_callback(s, nullptr, nullptr);
        pa_stream_unref(s);
        if (s != stream_) return;
        stream_ = nullptr;
        cancelRetirement();
    }

    static void onRetiredState(pa_stream* s, void*) {
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY: pa_stream_disconnect(s); break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            pa_stream_set_state_callback(s, nullptr, nullptr);
            pa_stream_unref(s);
            break;
        default: break;
        }
    }

    static void onStreamState(pa_stream* s, void* self) {
        auto* player = static_cast<Player*>(self);
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY: player->applyChangedOutput(); break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED: player->forgetStream(s); break;
        default: break;
        }
    }

    // Volume or mute set while the stream was being created.
    void applyChangedOutput() {
        if (volume_ != connectedVolume_) setVolume(volume_);
        if (mute_ != connectedMute_) setMute(mute_);
    }

    static void onWrite(pa_stream* s, std::size_t requested, void* self) {
        auto* player = static_cast<Player*>(self);
        if (s != player->stream_) return;
        if (player->sound_.loop)
            player->writeLooping(requested);
        else
            player->writeOnce(requested);
    }

    // Fills every requested byte, wrapping to the clip's start, so the server never sees an end.
    void writeLooping(std::size_t requested) {
        const std::size_t length = sound_.bytes.size();
        while (requested > 0) {
            void* buffer = nullptr;
            std::size_t size = requested;
            if (pa_stream_begin_write(stream_, &buffer, &size) < 0 || !buffer || size == 0) return;
            size -= size % pa_frame_size(&sound_.spec);
            auto* out = static_cast<std::uint8_t*>(buffer);
            for (std::size_t filled = 0; filled < size;) {
                const std::size_t n = std::min(size - filled, length - position_);
                std::memcpy(out + filled, sound_.bytes.data() + position_, n);
                filled += n;
                position_ = (position_ + n) % length;
            }
            if (pa_stream_write(stream_, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
            requested -= std::min(requested, size);
        }
    }

    // A one-shot clip goes to the server whole in the first write (up to a generous bound,
    // the rest as the server asks for it), then drains.
    void writeOnce(std::size_t requested) {
        const std::size_t remaining = sound_.bytes.size() - position_;
        if (remaining == 0) return;
        const std::size_t n = std::min(remaining, std::max(requested, kLargestWrite));
        if (pa_stream_write(stream_, sound_.bytes.data() + position_, n, nullptr, 0,
                            PA_SEEK_RELATIVE) < 0)
            return;
        position_ += n;
        if (position_ == sound_.bytes.size())
            release(pa_stream_drain(stream_, &Player::onDrained, this));
    }

    static void onDrained(pa_stream* s, int success, void* self) {
        auto* player = static_cast<Player*>(self);
        if (s != player->stream_ || !success) return;
        pa_mainloop_api* api = player->connection_.api();
        struct timeval when;
        pa_timeval_add(pa_gettimeofday(&when), kRetireAfterDrain);
        player->cancelRetirement();
        player->retireTimer_ = api->time_new(api, &when, &Player::onRetireTime, player);
    }

    static void onRetireTime(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        static_cast<Player*>(self)->closeStream();
    }

    void cancelRetirement() {
        if (!retireTimer_) return;
        connection_.api()->time_free(retireTimer_);
        retireTimer_ = nullptr;
    }

    PulseConnection& connection_;
    pa_stream* stream_ = nullptr;
    pa_time_event* retireTimer_ = nullptr;
    std::optional<Sound> request_;  // waiting for the connection to become ready
    Sound sound_;
    std::size_t position_ = 0;
    std::uint32_t volume_ = kMaxLevel;
    bool mute_ = false;
    std::uint32_t connectedVolume_ = kMaxLevel;
    bool connectedMute_ = false;
};

std::optional<WaveClip> findClip(int clipNumber, const ResourceModule* module) {
    if (!module) return std::nullopt;
    const auto image = module->findResource(clipNumber, "WAVE");
    if (image.empty()) return std::nullopt;
    return readWave(image).clip;
}

bool playDefault(std::uint32_t flags) {
    if (flags & SND_NODEFAULT) {
        Player::instance().stop();
        return false;
    }
    return Player::instance().play(makeSound(defaultSound(), false));
}

}  // namespace

bool PlaySoundA(int clipNumber, const ResourceModule* module, std::uint32_t flags) {
    PulseConnection::Lock lock;
    const std::optional<WaveClip> clip = findClip(clipNumber, module);
    if (!clip) return playDefault(flags);
    if (clip->samples.empty()) {
        Player::instance().stop();  // a malformed image sounds nothing, not even the default
        return false;
    }
    return Player::instance().play(makeSound(*clip, (flags & SND_LOOP) != 0));
}

bool sndPlaySoundA(const char* name, std::uint32_t flags) {
    PulseConnection::Lock lock;
    if (name) return playDefault(flags);  // sounds by name are not kept
    return Player::instance().stop();
}

void setOutputVolume(std::uint32_t volume) {
    PulseConnection::Lock lock;
    Player::instance().setVolume(volume);
}

std::uint32_t outputVolume() {
    PulseConnection::Lock lock;
    return Player::instance().volume();
}

void setOutputMute(bool mute) {
    PulseConnection::Lock lock;
    Player::instance().setMute(mute);
}

bool outputMute() {
    PulseConnection::Lock lock;
    return Player::instance().mute();
}

}  // namespace platform
