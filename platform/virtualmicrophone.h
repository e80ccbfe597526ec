#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pulseconnection.h"

namespace platform {

// The virtual microphone that carries the program's sounds into calls. Turned on, it loads
// stock modules: a null sink that mixes and a source "quorvane_mic" over the sink's monitor
// that call programs list as "Quorvane microphone". While some program records from that
// source, a loopback of the user's microphone (the default source when it was turned on)
// joins the sink; it leaves shortly after the last recording ends, so the microphone is open
// only while a call uses it. The player plays every clip into the mixing sink as well as to
// the speakers; the microphone never reaches the speakers.
//
// Everything it loads carries the property quorvane.owner with the run's random id, and the
// program's connection carries the ids it owns. A module is unloaded only after its owner
// mark has been read again; at every new connection, what no connected client owns is a
// leftover: removed when nothing records from it, taken over (and the microphone on) when a
// call still does. Recordings that the server moved off at turning off are moved back at the
// next turning on. The state always ends as the last command asked, whatever the timing of
// the server's replies. Its devices come last in a server's choice of default devices, and
// KeptDefaults sets back a default that a server moved to one of them.
class VirtualMicrophone : public ConnectionUser {
public:
    static constexpr const char* kSourceName = "quorvane_mic";
    static constexpr const char* kMixSinkName = "quorvane_call_mix";

    // Whether a sink or source is one of the microphone's: the mixing sink, its monitor or
    // "quorvane_mic".
    static bool isOwnDevice(const std::string& name);

    static VirtualMicrophone& instance();

    // Turns the microphone on: it appears shortly, and again on every later connection, until
    // disable(). False at once, and nothing changes, when no server answers.
    bool enable();
    void disable();
    bool isEnabled() const;

    // Unloads what the program loaded and waits, at most `bound`, for the server to confirm.
    void shutdown(std::chrono::milliseconds bound);

    // The sink that mixes into the microphone while it is there, else empty; the listener
    // hears of every change, on the sound thread.
    const std::string& mixSink(const PulseLock& lock) const;
    void setMixSinkListener(std::function<void(const PulseLock&)> listener, const PulseLock& lock);

    void connected(pa_context* context, const PulseLock& lock) override;
    void disconnected(const PulseLock& lock) override;
    void serverEvent(pa_subscription_event_type_t type, std::uint32_t index,
                     const PulseLock& lock) override;

    // Told, on the sound thread, why loading failed; the microphone is off again then.
    void setFailureListener(std::function<void(const std::string& reason)> listener);
    // Told, on the sound thread, when the microphone turned on or off by itself: a leftover
    // in use was taken over, or someone else removed it.
    void setStateListener(std::function<void(bool on)> listener);

private:
    enum Part : std::size_t { kMix, kMic, kVoice, kParts };
    // A recording: the source output, the client that made it and the source it is on.
    struct Recording {
        std::uint32_t index, client, source;
    };
    // What a run that is gone left: its modules (number and name), the source that call
    // programs list, and the recordings on that source.
    struct Leftover {
        std::vector<std::pair<std::uint32_t, std::string>> modules;
        std::uint32_t source = PA_INVALID_INDEX;
        std::vector<Recording> recordings;
    };

    VirtualMicrophone();

    std::string moduleArgument(Part part) const;
    bool needed(Part part) const;
    void reconcile();
    void load(Part part);
    void loaded(Part part, std::uint32_t index);
    void unload(Part part);
    void unloadChecked(std::uint32_t index, const std::string& owner);
    void removed(std::uint32_t index);
    void turnedOffBy(const std::string& reason);
    void findSource();
    void refreshRecordings();
    void recordingsKnown(std::vector<Recording> outputs);
    void moveBack(const std::vector<Recording>& live);
    void takeOver(const std::string& id, const Leftover& leftover);
    void sweep();
    void swept();
    void rememberMicrophone();
    void setMixSink(std::string sink);
    void announce(bool on);

    static void onLoaded(pa_context*, std::uint32_t index, void* part);
    static void onUnloadCheck(pa_context*, const pa_module_info* info, int eol, void* index);
    static void onUnloaded(pa_context*, int, void*);
    static void onVoiceSource(pa_context*, const pa_source_info* info, int eol, void*);
    static void onSources(pa_context*, const pa_source_info* info, int eol, void*);
    static void onRecordings(pa_context*, const pa_source_output_info* info, int eol, void*);
    static void onRecheck(pa_mainloop_api*, pa_time_event*, const struct timeval*, void*);
    static void onCloseVoice(pa_mainloop_api*, pa_time_event*, const struct timeval*, void*);
    static void onSweepClient(pa_context*, const pa_client_info* info, int eol, void*);
    static void onSweepModule(pa_context*, const pa_module_info* info, int eol, void*);
    static void onSweepSource(pa_context*, const pa_source_info* info, int eol, void*);
    static void onSweepRecording(pa_context*, const pa_source_output_info* info, int eol, void*);

    pa_context* context_ = nullptr;
    bool wanted_ = false;
    std::string microphone_;   // the default source when it was turned on
    std::vector<std::string> ownIds_;  // this run's id and those of leftovers taken over

    std::array<std::uint32_t, kParts> modules_;
    std::array<std::string, kParts> owners_;  // the id each part is marked with
    std::array<bool, kParts> pending_{};
    std::map<std::uint32_t, std::string> checking_;  // modules read again before unloading
    int unloading_ = 0;
    bool voiceSourceFound_ = false;

    std::uint32_t source_;  // "quorvane_mic" while it is there
    std::vector<Recording> recordings_;
    std::vector<Recording> listing_;
    std::vector<Recording> movedAway_;  // on it when it was last turned off
    bool voiceOpen_ = false;
    pa_time_event* closeVoice_ = nullptr;
    pa_time_event* recheck_ = nullptr;
    int rechecks_ = 0;

    bool sweeping_ = false;
    std::set<std::string> liveIds_;
    std::vector<std::pair<std::string, Leftover>> leftovers_;
    std::string mixSink_;
    std::function<void(const PulseLock&)> mixSinkListener_;
    std::function<void(const std::string&)> failureListener_;
    std::function<void(bool)> stateListener_;
};

}  // namespace platform
