#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "pulseconnection.h"

namespace platform {

// Keeps the virtual microphone's devices from becoming the default sink or source by a
// server's choice. A server picks one of them when it appears, or when the user's device
// goes away and they are the best that is left; such a default is set to the server's best
// other device, and back to the user's own device when that comes again. A default that the
// user moves to one of them on purpose stays: that is a move while the user's device is
// there and none of ours has just appeared.
class KeptDefaults : public ConnectionUser {
public:
    static KeptDefaults& instance();

    void connected(pa_context* context, const PulseLock& lock) override;
    void disconnected(const PulseLock& lock) override;
    void serverEvent(pa_subscription_event_type_t type, std::uint32_t index,
                     const PulseLock& lock) override;

private:
    // One default, the sink's or the source's.
    struct Kept {
        explicit Kept(bool isSource) : source(isSource) {}
        bool source;
        std::string seen;     // the default as last seen
        std::string user;     // the user's device: the last default that was none of ours
        std::string standIn;  // set in its place while it is away
        bool moved = false;   // the default moved to one of ours, to be judged
        bool listing = false;
        std::vector<std::pair<std::string, int>> others;  // devices not ours, by rank
    };

    KeptDefaults();

    void take(Kept& kept, const std::string& current);
    void judgeLater();
    void judge(Kept& kept);
    void list(Kept& kept);
    void listed(Kept& kept);
    void setDefault(const Kept& kept, const std::string& name);
    void appeared(Kept& kept, const std::string& name);

    static void onServerInfo(pa_context*, const pa_server_info* info, void* self);
    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self);
    static void onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* self);
    static void onNewSink(pa_context*, const pa_sink_info* info, int eol, void* self);
    static void onNewSource(pa_context*, const pa_source_info* info, int eol, void* self);
    static void onJudge(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                        void* self);

    pa_context* context_ = nullptr;
    pa_time_event* judgeTimer_ = nullptr;
    Kept sink_{false};
    Kept source_{true};
    std::string defaultSinkMonitor_;
    std::chrono::steady_clock::time_point oursAppeared_;
};

}  // namespace platform
