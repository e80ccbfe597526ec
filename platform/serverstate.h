#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "pulseconnection.h"

namespace platform {

// The server as the program last saw it: the default sink (which one, its volume per channel,
// its mute), the default source, and the program's own playback stream as the desktop's
// per-application mixer shows it. A subscription keeps the copy current.
//
// Reads answer from the copy and never wait. Writes go to the server at once, are not waited
// for, and show in the copy straight away; while a write is on its way, reports of the same
// value from the server are not taken, so a quick series of writes never jumps back to an
// older value. Callbacks run on the sound thread; they only update the copy and call the
// listener.
class ServerState : public ConnectionUser {
public:
    struct Sink {
        std::uint32_t index = PA_INVALID_INDEX;
        std::string name;
        std::string monitor;
        pa_cvolume volume{};
        bool mute = false;
    };

    static ServerState& instance();

    // Called on the sound thread whenever the default sink, its volume or its mute changed
    // through someone else, or a sink is known after there was none. `atStart` is true only
    // for the sink of the server that was there when the first connection was made, when it
    // is first learnt; a server or sink that comes later, or again, is an ordinary change.
    using SinkListener = std::function<void(bool atStart)>;
    void setSinkListener(SinkListener listener, const PulseLock& lock);

    // The default sink, or null while it is not known (no server, or not learnt yet).
    const Sink* defaultSink(const PulseLock& lock) const;
    // The default source's name; empty while it is not known.
    const std::string& defaultSource(const PulseLock& lock) const;

    // Sets the loudest channel of the default sink to `loudest`, keeping the ratios of the
    // others. False when there is no known sink to write to.
    bool setSinkVolume(pa_volume_t loudest, const PulseLock& lock);
    bool setSinkMute(bool mute, const PulseLock& lock);

    // The program's own stream. Its volume and mute stay known between streams, so the next
    // stream starts as the last one was left; on a new connection they are learnt afresh.
    struct StreamStart {
        std::optional<pa_volume_t> volume;  // none: as the server decides
        std::optional<bool> mute;
    };
    StreamStart streamStart(const PulseLock& lock);
    void streamOpened(std::uint32_t sinkInput, const PulseLock& lock);
    void streamClosed(const PulseLock& lock);
    // With a server: the stream's volume and mute, normal and unmuted until known.
    std::optional<pa_volume_t> streamVolume(const PulseLock& lock) const;
    std::optional<bool> streamMute(const PulseLock& lock) const;
    bool setStreamVolume(pa_volume_t volume, const PulseLock& lock);
    bool setStreamMute(bool mute, const PulseLock& lock);

    void connected(pa_context* context, const PulseLock& lock) override;
    void disconnected(const PulseLock& lock) override;
    void serverEvent(pa_subscription_event_type_t type, std::uint32_t index,
                     const PulseLock& lock) override;

private:
    ServerState();

    void queryServer();
    void querySink();
    void queryStream();
    void sendStreamVolume();
    void sendStreamMute();
    void takeServer(const pa_server_info& info);
    void takeSink(const pa_sink_info& info);
    void takeStream(const pa_sink_input_info& info);

    static void onServerInfo(pa_context*, const pa_server_info* info, void* self);
    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self);
    static void onStreamInfo(pa_context*, const pa_sink_input_info* info, int eol, void* self);
    static void onSinkWritten(pa_context*, int success, void* self);
    static void onStreamWritten(pa_context*, int success, void* self);

    pa_context* context_ = nullptr;
    SinkListener sinkListener_;
    std::string defaultSinkName_;
    std::string defaultSource_;
    std::optional<Sink> sink_;
    // True until the first connection has shown whether a default sink was there at start.
    bool startPending_ = true;
    int sinkWrites_ = 0;  // writes to the sink not yet answered

    std::uint32_t streamIndex_ = PA_INVALID_INDEX;
    std::optional<pa_volume_t> streamVolume_;
    std::optional<bool> streamMute_;
    StreamStart startedWith_;  // what the newest stream was opened with
    int streamWrites_ = 0;
};

}  // namespace platform
