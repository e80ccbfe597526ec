#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "pulseconnection.h"

namespace platform {

// The virtual microphone that carries the program's sounds into calls. Turned on, it loads
// three stock modules: a null sink that mixes, a source "quorvane_mic" over the sink's monitor
// that call programs list as "Quorvane microphone", and a loopback into that sink of the
// microphone that was the default when it was turned on, whenever that microphone is there.
// The player plays every clip into the mixing sink as well as to the speakers; the
// microphone never reaches the speakers.
//
// Everything it loads carries the property quorvane.owner with the program's process id, so
// that it can be unloaded when turned off or at the end, and so that what a crashed run left
// behind is recognised, and only that, on every new connection. Its devices come last in a
// server's choice of default devices, and KeptDefaults sets back a default that a server moved
// to one of them.
class VirtualMicrophone : public ConnectionUser {
public:
    static constexpr const char* kSourceName = "quorvane_mic";
    static constexpr const char* kMixSinkName = "quorvane_call_mix";

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

private:
    VirtualMicrophone();

    // Where the loopback of the microphone comes in the modules' order.
    static constexpr std::size_t kVoice = 2;

    void loadNext();
    void loaded(std::uint32_t index);
    void loadFailed();
    void unloadAll();
    void setMixSink(std::string sink, const PulseLock& lock);
    std::string owner() const;
    std::vector<std::pair<const char*, std::string>> modules() const;

    static void onModuleLoaded(pa_context*, std::uint32_t index, void* self);
    static void onModuleInfo(pa_context*, const pa_module_info* info, int eol, void* self);
    static void onUnloaded(pa_context*, int, void* self);

    pa_context* context_ = nullptr;
    bool wanted_ = false;
    std::string microphone_;   // the default source when it was turned on
    std::vector<std::uint32_t> loaded_;
    bool loading_ = false;
    int unloading_ = 0;
    std::string mixSink_;
    std::function<void(const PulseLock&)> mixSinkListener_;
    std::function<void(const std::string&)> failureListener_;
};

}  // namespace platform
