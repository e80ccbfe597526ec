#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <pulse/pulseaudio.h>

namespace platform {

// Proof that the sound thread's lock is held. Made on any other thread it takes the lock; on
// the sound thread itself, where every libpulse callback runs with the lock already held, it
// takes nothing. Members that touch libpulse state ask for one, so the rule is checked by the
// compiler rather than by comments.
class PulseLock {
public:
    PulseLock();
    ~PulseLock();
    PulseLock(const PulseLock&) = delete;
    PulseLock& operator=(const PulseLock&) = delete;

private:
    bool taken_;
};

// A part of the program that keeps things on the server (streams, loaded modules, a copy of
// the server's state). It hears of every new connection, every lost one and every event of
// the subscription, always on the sound thread. After disconnected() every stream and
// operation of the old connection is dead.
class ConnectionUser {
public:
    virtual ~ConnectionUser() = default;
    virtual void connected(pa_context* context, const PulseLock& lock) = 0;
    virtual void disconnected(const PulseLock&) {}
    virtual void serverEvent(pa_subscription_event_type_t, std::uint32_t /*index*/,
                             const PulseLock&) {}
};

// The program's one connection to the sound server, shared by every part that talks to it.
// It runs a threaded main loop (the sound thread) and one context. Once started it stays:
// a server that is missing, goes away or restarts is connected to again as soon as it is
// there, and every ConnectionUser hears of it the same way.
class PulseConnection {
public:
    static constexpr std::chrono::milliseconds kReplyTimeout{300};
    static constexpr std::chrono::milliseconds kRetryInterval{500};

    static PulseConnection& instance();

    // A random mark of this run, made once. The program's connection carries it in its
    // property kOwnerProperty, so that what the run keeps on the server can be told from
    // what any other process keeps, whatever machine or namespace that process runs in.
    static constexpr const char* kOwnerProperty = "quorvane.owner";
    static const std::string& runId();

    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Starts connecting unless a context lives already. Never waits.
    void start(const PulseLock& lock);
    // The context when it is ready, else nullptr. Never waits.
    pa_context* ready(const PulseLock& lock) const;
    // True while a context is on its way to ready.
    bool isConnecting(const PulseLock& lock) const;

    // Users are told of the current connection at once when it is ready.
    void addUser(ConnectionUser* user, const PulseLock& lock);
    void removeUser(ConnectionUser* user, const PulseLock& lock);

    pa_mainloop_api* api() const;
    bool onSoundThread() const;
    // A one-shot timer on the sound thread; api()->time_free() ends it, fired or not.
    pa_time_event* startTimer(std::chrono::milliseconds delay, pa_time_event_cb_t callback, void* data);

    // Waits until done() holds or the timeout passes and returns done(). Callbacks that change
    // what done() looks at must call signal(). On the sound thread nothing can arrive while
    // it waits, so there it returns done() at once.
    bool waitUntil(const PulseLock& lock, const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = kReplyTimeout);
    // Waits for an operation to finish, then releases it; an unfinished one is cancelled.
    bool waitFor(const PulseLock& lock, pa_operation* op,
                 std::chrono::milliseconds timeout = kReplyTimeout);

    // Wakes whoever waits in waitUntil(); safe from callbacks.
    void signal();

private:
    friend class PulseLock;

    PulseConnection();
    ~PulseConnection();

    void connect(const PulseLock& lock);
    void drop(const PulseLock& lock);
    void retryLater(const PulseLock& lock);
    void onState(const PulseLock& lock);
    static void onContextState(pa_context* c, void* self);
    static void onSubscription(pa_context* c, pa_subscription_event_type_t type,
                               std::uint32_t index, void* self);
    static void onRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self);

    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_time_event* retry_ = nullptr;
    std::vector<ConnectionUser*> users_;
};

// Ends a stream of ours: its callbacks are cleared, it is disconnected once the server has
// confirmed it (a stream still being created cannot be disconnected yet) and unreferenced
// when it is gone. The caller forgets the pointer.
void releaseStream(pa_stream* stream, const PulseLock& lock);

// The facility (sink, source, module...) and the kind (new, change, remove) of an event.
inline unsigned eventFacility(pa_subscription_event_type_t type) {
    return type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
}
inline unsigned eventKind(pa_subscription_event_type_t type) {
    return type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
}

// Drops an operation whose outcome nobody waits for.
void forget(pa_operation* op);

}  // namespace platform
