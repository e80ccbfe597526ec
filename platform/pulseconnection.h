#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include <pulse/pulseaudio.h>

namespace platform {

// The program's one connection to the sound server, shared by the sound player, the mixer
// device and the recording device. It runs a threaded main loop and connects on first use.
//
// Every call into libpulse from outside the loop's thread must hold a Lock. Callbacks run on
// the loop's thread with the lock already held and must not take it again.
//
// Every wait is bounded, so that a stalled or vanished server never hangs the caller. A context
// that failed or ended is dropped; the next context() call connects afresh.
class PulseConnection {
public:
    static constexpr std::chrono::milliseconds kConnectTimeout{500};
    static constexpr std::chrono::milliseconds kReplyTimeout{300};

    static PulseConnection& instance();

    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    class Lock {
    public:
        Lock();
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
    };

    // With the lock held: a ready context, connecting first when needed; nullptr when no
    // server is reachable within kConnectTimeout.
    pa_context* context();

    // With the lock held and never waiting: the context when it is ready, else nullptr. With
    // no live context, or one that has been connecting for longer than kConnectTimeout, it
    // starts connecting afresh; listeners hear how that ends.
    pa_context* contextNow();

    // With the lock held: true while a context is on its way to ready.
    bool isConnecting() const;

    // Called on the loop's thread, lock held, whenever the context changes state. Listeners
    // live as long as the connection.
    using StateListener = std::function<void(pa_context_state_t)>;
    void addStateListener(StateListener listener);

    pa_mainloop_api* api() const;

    // With the lock held: waits until done() holds or the timeout passes. Returns done().
    // Callbacks that change what done() looks at must call signal().
    bool waitUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = kReplyTimeout);

    // With the lock held: waits for an operation to finish, then releases it. Returns true
    // when it finished in time; an unfinished operation is cancelled.
    bool waitFor(pa_operation* op, std::chrono::milliseconds timeout = kReplyTimeout);

    // Wakes whoever waits in waitUntil(); safe from callbacks.
    void signal();

    // Counts the contexts made so far; a change tells holders of streams that theirs are gone.
    unsigned generation() const { return generation_; }

private:
    PulseConnection();
    ~PulseConnection();

    bool connect();
    void drop();
    static void onContextState(pa_context* c, void* self);

    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    unsigned generation_ = 0;
    std::chrono::steady_clock::time_point connectStarted_;
    std::vector<StateListener> listeners_;
};

}  // namespace platform
