#include "soundplayer.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "defaultsound.h"
#include "pulseconnection.h"
#include "riffreader.h"
#include "serverstate.h"

namespace platform {

namespace {

using std::chrono::milliseconds;

// A loop keeps a fifth of a second at the server and is asked for more about every 80 ms: few
// wake-ups, room against a busy machine, and still a short sink latency for a quick start.
constexpr milliseconds kLoopTarget{200};
constexpr milliseconds kLoopRequest{80};
// A one-shot clip is written whole at once; its target only sets the sink latency.
constexpr milliseconds kOnceTarget{50};
constexpr std::size_t kLargestWrite = 1 << 20;
// A drained stream's last samples may still wait in the sink's own buffer; disconnecting
// would discard them, so a drained stream stays connected this long.
constexpr milliseconds kRetireAfterDrain{1000};

// What to play, always as signed 16-bit samples: when the server runs short of data it fills
// with zero bytes, which is silence here but a full-scale step for 8-bit samples.
struct Sound {
    std::vector<std::uint8_t> bytes;
    pa_sample_spec spec{};
    bool loop = false;
};

Sound makeSound(const WaveClip& clip, bool loop) {
    Sound sound;
    if (clip.bitsPerSample == 8) {
        sound.bytes.reserve(clip.samples.size() * 2);
        for (std::uint8_t sample : clip.samples) {
            sound.bytes.push_back(0);
            sound.bytes.push_back(static_cast<std::uint8_t>(sample - 128));
        }
    } else {
        sound.bytes.assign(clip.samples.begin(), clip.samples.end());
    }
    sound.spec = {PA_SAMPLE_S16LE, clip.sampleRate, 1};
    sound.loop = loop;
    return sound;
}

std::uint32_t bytesFor(milliseconds time, const pa_sample_spec& spec) {
    return static_cast<std::uint32_t>(pa_usec_to_bytes(time.count() * PA_USEC_PER_MSEC, &spec));
}

pa_buffer_attr bufferFor(const Sound& sound) {
    const auto frame = static_cast<std::uint32_t>(pa_frame_size(&sound.spec));
    const std::uint32_t target = bytesFor(sound.loop ? kLoopTarget : kOnceTarget, sound.spec);
    const auto whole = static_cast<std::uint32_t>(std::min<std::size_t>(sound.bytes.size(), UINT32_MAX));
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = target;
    // Playback starts with the first write: a one-shot clip is written whole at once and a
    // loop fills the whole target, so prebuffering never waits for more.
    attr.prebuf = std::max(frame, sound.loop ? target / 2 : std::min(whole, target / 2));
    attr.minreq = sound.loop ? bytesFor(kLoopRequest, sound.spec) : static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
}

// The program's one playback stream and what it plays. Every member is guarded by the sound
// thread's lock: the public calls take it, the stream callbacks run with it held.
class Player : public ConnectionUser {
public:
    static Player& instance() {
        // Never destroyed: the sound thread may still call it while the program ends.
        static Player* player = new Player;
        return *player;
    }

    bool play(Sound sound, const PulseLock& lock) {
        closeStream(lock);
        request_ = std::move(sound);
        if (pa_context* context = connection_.ready(lock)) openStream(context, lock);
        else if (!connection_.isConnecting(lock)) request_.reset();
        return stream_ || request_.has_value();
    }

    bool stop(const PulseLock& lock) {
        request_.reset();
        closeStream(lock);
        return connection_.ready(lock) || connection_.isConnecting(lock);
    }

    void connected(pa_context* context, const PulseLock& lock) override {
        if (request_ && !stream_) openStream(context, lock);
    }

    void disconnected(const PulseLock& lock) override {
        request_.reset();
        closeStream(lock);
    }

private:
    Player() : connection_(PulseConnection::instance()), state_(ServerState::instance()) {
        PulseLock lock;
        connection_.addUser(this, lock);
    }

    void openStream(pa_context* context, const PulseLock& lock) {
        sound_ = std::move(*request_);
        request_.reset();
        position_ = 0;
        stream_ = pa_stream_new(context, "Quorvane", &sound_.spec, nullptr);
        if (!stream_) return;
        pa_stream_set_state_callback(stream_, &Player::onStreamState, this);
        pa_stream_set_write_callback(stream_, &Player::onWrite, this);

        const pa_buffer_attr attr = bufferFor(sound_);
        const ServerState::StreamStart start = state_.streamStart(lock);
        pa_cvolume volume;
        if (start.volume) pa_cvolume_set(&volume, 1, *start.volume);
        int flags = PA_STREAM_ADJUST_LATENCY;
        if (start.mute) flags |= *start.mute ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED;
        if (pa_stream_connect_playback(stream_, nullptr, &attr, static_cast<pa_stream_flags_t>(flags),
                                       start.volume ? &volume : nullptr, nullptr) < 0)
            closeStream(lock);
    }

    // Disconnecting silences the old sound at once.
    void closeStream(const PulseLock& lock) {
        cancelRetirement();
        if (!stream_) return;
        state_.streamClosed(lock);
        releaseStream(stream_, lock);
        stream_ = nullptr;
    }

    static void onStreamState(pa_stream* s, void* self) {
        auto* player = static_cast<Player*>(self);
        PulseLock lock;
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY:
            player->state_.streamOpened(pa_stream_get_index(s), lock);
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            player->closeStream(lock);
            break;
        default:
            break;
        }
    }

    static void onWrite(pa_stream*, std::size_t requested, void* self) {
        auto* player = static_cast<Player*>(self);
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
            forget(pa_stream_drain(stream_, &Player::onDrained, this));
    }

    static void onDrained(pa_stream* s, int success, void* self) {
        auto* player = static_cast<Player*>(self);
        if (s != player->stream_ || !success) return;
        pa_mainloop_api* api = player->connection_.api();
        struct timeval when;
        pa_timeval_add(pa_gettimeofday(&when), kRetireAfterDrain.count() * PA_USEC_PER_MSEC);
        player->cancelRetirement();
        player->retireTimer_ = api->time_new(api, &when, &Player::onRetireTime, player);
    }

    static void onRetireTime(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        PulseLock lock;
        static_cast<Player*>(self)->closeStream(lock);
    }

    void cancelRetirement() {
        if (!retireTimer_) return;
        connection_.api()->time_free(retireTimer_);
        retireTimer_ = nullptr;
    }

    PulseConnection& connection_;
    ServerState& state_;
    pa_stream* stream_ = nullptr;
    pa_time_event* retireTimer_ = nullptr;
    std::optional<Sound> request_;  // waiting for the connection to become ready
    Sound sound_;
    std::size_t position_ = 0;
};

std::optional<WaveClip> findClip(int clipNumber, const ResourceModule* module) {
    if (!module) return std::nullopt;
    const auto image = module->findResource(clipNumber, "WAVE");
    if (image.empty()) return std::nullopt;
    return readWave(image).clip;
}

bool playDefault(Player& player, std::uint32_t flags, const PulseLock& lock) {
    if (flags & SND_NODEFAULT) {
        player.stop(lock);
        return false;
    }
    return player.play(makeSound(defaultSound(), false), lock);
}

}  // namespace

bool PlaySoundA(int clipNumber, const ResourceModule* module, std::uint32_t flags) {
    const std::optional<WaveClip> clip = findClip(clipNumber, module);
    Player& player = Player::instance();
    PulseLock lock;
    if (!clip) return playDefault(player, flags, lock);
    if (clip->samples.empty()) {
        player.stop(lock);  // a malformed image sounds nothing, not even the default
        return false;
    }
    return player.play(makeSound(*clip, (flags & SND_LOOP) != 0), lock);
}

bool sndPlaySoundA(const char* name, std::uint32_t flags) {
    Player& player = Player::instance();
    PulseLock lock;
    if (name) return playDefault(player, flags, lock);  // sounds by name are not kept
    return player.stop(lock);
}

}  // namespace platform
