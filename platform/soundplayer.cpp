#include "soundplayer.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "virtualmicrophone.h"
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

// Where a sound goes: the speakers, on the program's own stream as the desktop's mixer shows
// it, and, while calls get the program's sounds, the sink that mixes into the virtual
// microphone. Each has its own stream and its own place in the sound.
struct Output {
    class Player* player;
    bool speakers;
    pa_stream* stream = nullptr;
    std::size_t position = 0;
    pa_time_event* retireTimer = nullptr;
};

// The call stream is an application of its own to the servers' restore machinery (both key a
// stream by its application id before its application's name), so the desktop's mixer keeps
// a volume for the call apart from the speakers' one. It always goes to the mixing sink.
pa_proplist* callStreamProperties() {
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, "Quorvane into calls");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "quorvane-into-calls");
    pa_proplist_sets(properties, "state.restore-target", "false");
    return properties;
}

// The program's playback and what it plays. Every member is guarded by the sound thread's
// lock: the public calls take it, the stream callbacks run with it held.
class Player : public ConnectionUser {
public:
    static Player& instance() {
        // Never destroyed: the sound thread may still call it while the program ends.
        static Player* player = new Player;
        return *player;
    }

    bool play(Sound sound, const PulseLock& lock) {
        closeAll(lock);
        request_ = std::move(sound);
        if (pa_context* context = connection_.ready(lock)) start(context, lock);
        else if (!connection_.isConnecting(lock)) request_.reset();
        return speakers_.stream || request_.has_value();
    }

    bool stop(const PulseLock& lock) {
        request_.reset();
        closeAll(lock);
        return connection_.ready(lock) || connection_.isConnecting(lock);
    }

    void connected(pa_context* context, const PulseLock& lock) override {
        if (request_ && !speakers_.stream) start(context, lock);
    }

    void disconnected(const PulseLock& lock) override {
        request_.reset();
        closeAll(lock);
    }

private:
    Player()
        : connection_(PulseConnection::instance()),
          state_(ServerState::instance()),
          calls_(VirtualMicrophone::instance()) {
        PulseLock lock;
        connection_.addUser(this, lock);
        calls_.setMixSinkListener([this](const PulseLock& held) { mixSinkChanged(held); }, lock);
    }

    void start(pa_context* context, const PulseLock& lock) {
        sound_ = std::move(*request_);
        request_.reset();
        open(speakers_, context, 0, lock);
        if (!calls_.mixSink(lock).empty()) open(call_, context, 0, lock);
    }

    // The call output joins or leaves a sound already under way where the speakers are.
    void mixSinkChanged(const PulseLock& lock) {
        close(call_, lock);
        pa_context* context = connection_.ready(lock);
        const bool underWay = speakers_.stream && (sound_.loop || speakers_.position < sound_.bytes.size());
        if (context && underWay && !calls_.mixSink(lock).empty())
            open(call_, context, speakers_.position, lock);
    }

    void open(Output& out, pa_context* context, std::size_t position, const PulseLock& lock) {
        out.position = position;
        pa_proplist* properties = out.speakers ? pa_proplist_new() : callStreamProperties();
        out.stream = pa_stream_new_with_proplist(context, out.speakers ? "Quorvane" : "Quorvane into calls",
                                                 &sound_.spec, nullptr, properties);
        pa_proplist_free(properties);
        if (!out.stream) return;
        pa_stream_set_state_callback(out.stream, &Player::onStreamState, &out);
        pa_stream_set_write_callback(out.stream, &Player::onWrite, &out);

        const pa_buffer_attr attr = bufferFor(sound_);
        pa_cvolume volume;
        int flags = PA_STREAM_ADJUST_LATENCY;
        const pa_cvolume* startVolume = nullptr;
        const char* device = nullptr;
        if (out.speakers) {
            const ServerState::StreamStart start = state_.streamStart(lock);
            if (start.volume) startVolume = pa_cvolume_set(&volume, 1, *start.volume);
            if (start.mute) flags |= *start.mute ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED;
        } else {
            // The volume and mute are the server's to restore: the first call stream sounds
            // at 100%, later ones as the user left them.
            flags |= PA_STREAM_DONT_MOVE;
            device = calls_.mixSink(lock).c_str();
        }
        if (pa_stream_connect_playback(out.stream, device, &attr, static_cast<pa_stream_flags_t>(flags),
                                       startVolume, nullptr) < 0)
            close(out, lock);
    }

    void closeAll(const PulseLock& lock) {
        close(speakers_, lock);
        close(call_, lock);
    }

    // Disconnecting silences the old sound at once.
    void close(Output& out, const PulseLock& lock) {
        cancelRetirement(out);
        if (!out.stream) return;
        if (out.speakers) state_.streamClosed(lock);
        releaseStream(out.stream, lock);
        out.stream = nullptr;
    }

    static void onStreamState(pa_stream* s, void* data) {
        auto& out = *static_cast<Output*>(data);
        PulseLock lock;
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY:
            if (out.speakers) out.player->state_.streamOpened(pa_stream_get_index(s), lock);
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            out.player->close(out, lock);
            break;
        default:
            break;
        }
    }

    static void onWrite(pa_stream*, std::size_t requested, void* data) {
        auto& out = *static_cast<Output*>(data);
        if (out.player->sound_.loop)
            out.player->writeLooping(out, requested);
        else
            out.player->writeOnce(out, requested);
    }

    // Fills every requested byte, wrapping to the clip's start, so the server never sees an end.
    void writeLooping(Output& out, std::size_t requested) {
        const std::size_t length = sound_.bytes.size();
        while (requested > 0) {
            void* buffer = nullptr;
            std::size_t size = requested;
            if (pa_stream_begin_write(out.stream, &buffer, &size) < 0 || !buffer || size == 0) return;
            size -= size % pa_frame_size(&sound_.spec);
            auto* bytes = static_cast<std::uint8_t*>(buffer);
            for (std::size_t filled = 0; filled < size;) {
                const std::size_t n = std::min(size - filled, length - out.position);
                std::memcpy(bytes + filled, sound_.bytes.data() + out.position, n);
                filled += n;
                out.position = (out.position + n) % length;
            }
            if (pa_stream_write(out.stream, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
            requested -= std::min(requested, size);
        }
    }

    // A one-shot clip goes to the server whole in the first write (up to a generous bound,
    // the rest as the server asks for it), then drains.
    void writeOnce(Output& out, std::size_t requested) {
        const std::size_t remaining = sound_.bytes.size() - out.position;
        if (remaining == 0) return;
        const std::size_t n = std::min(remaining, std::max(requested, kLargestWrite));
        if (pa_stream_write(out.stream, sound_.bytes.data() + out.position, n, nullptr, 0,
                            PA_SEEK_RELATIVE) < 0)
            return;
        out.position += n;
        if (out.position == sound_.bytes.size())
            forget(pa_stream_drain(out.stream, &Player::onDrained, &out));
    }

    static void onDrained(pa_stream* s, int success, void* data) {
        auto& out = *static_cast<Output*>(data);
        if (s != out.stream || !success) return;
        cancelRetirement(out);
        out.retireTimer = out.player->connection_.startTimer(kRetireAfterDrain, &Player::onRetireTime, &out);
    }

    static void onRetireTime(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
        auto& out = *static_cast<Output*>(data);
        PulseLock lock;
        out.player->close(out, lock);
    }

    static void cancelRetirement(Output& out) {
        if (!out.retireTimer) return;
        PulseConnection::instance().api()->time_free(out.retireTimer);
        out.retireTimer = nullptr;
    }

    PulseConnection& connection_;
    ServerState& state_;
    VirtualMicrophone& calls_;
    Output speakers_{this, true};
    Output call_{this, false};
    std::optional<Sound> request_;  // waiting for the connection to become ready
    Sound sound_;
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
