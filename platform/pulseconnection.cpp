#include "pulseconnection.h"

#include <csignal>

namespace platform {

namespace {

bool isDead(pa_context_state_t s) {
    return s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED;
}

struct Deadline {
    PulseConnection* connection;
    bool passed = false;
};

void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
    auto* deadline = static_cast<Deadline*>(data);
    deadline->passed = true;
    deadline->connection->signal();
}

}  // namespace

PulseConnection& PulseConnection::instance() {
    static PulseConnection connection;
    return connection;
}

PulseConnection::PulseConnection() {
    // A write to a server that just went away must come back as an error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    mainloop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_set_name(mainloop_, "quorvane-sound");
    pa_threaded_mainloop_start(mainloop_);
}

PulseConnection::~PulseConnection() {
    {
        Lock lock;
        drop();
    }
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
}

PulseConnection::Lock::Lock() { pa_threaded_mainloop_lock(instance().mainloop_); }
PulseConnection::Lock::~Lock() { pa_threaded_mainloop_unlock(instance().mainloop_); }

pa_mainloop_api* PulseConnection::api() const { return pa_threaded_mainloop_get_api(mainloop_); }

pa_context* PulseConnection::context() {
    if (context_ && isDead(pa_context_get_state(context_))) drop();
    if (!context_ && !connect()) return nullptr;
    if (pa_context_get_state(context_) == PA_CONTEXT_READY) return context_;
    waitUntil([this] { return !isConnecting(); }, kConnectTimeout);
    return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY ? context_ : nullptr;
}

pa_context* PulseConnection::contextNow() {
    if (context_) {
        const auto s = pa_context_get_state(context_);
        if (s == PA_CONTEXT_READY) return context_;
        const bool stalled = std::chrono::steady_clock::now() - connectStarted_ > kConnectTimeout;
        if (!isDead(s) && !stalled) return nullptr;
        drop();
    }
    if (!connect()) return nullptr;
    return pa_context_get_state(context_) == PA_CONTEXT_READY ? context_ : nullptr;
}

bool PulseConnection::isConnecting() const {
    if (!context_) return false;
    const auto s = pa_context_get_state(context_);
    return s != PA_CONTEXT_READY && !isDead(s);
}

void PulseConnection::addStateListener(StateListener listener) {
    listeners_.push_back(std::move(listener));
}

bool PulseConnection::connect() {
    context_ = pa_context_new(api(), "Quorvane");
    if (!context_) return false;
    ++generation_;
    connectStarted_ = std::chrono::steady_clock::now();
    pa_context_set_state_callback(context_, &PulseConnection::onContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        drop();
        return false;
    }
    return true;
}

void PulseConnection::drop() {
    if (!context_) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseConnection::onContextState(pa_context* c, void* self) {
    auto* connection = static_cast<PulseConnection*>(self);
    const auto state = pa_context_get_state(c);
    for (const auto& listener : connection->listeners_) listener(state);
    connection->signal();
}

bool PulseConnection::waitUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
    if (done()) return true;
    Deadline deadline{this};
    struct timeval when;
    pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(timeout.count()) * PA_USEC_PER_MSEC);
    pa_time_event* event = api()->time_new(api(), &when, &onDeadline, &deadline);
    while (!done() && !deadline.passed) pa_threaded_mainloop_wait(mainloop_);
    api()->time_free(event);
    return done();
}

bool PulseConnection::waitFor(pa_operation* op, std::chrono::milliseconds timeout) {
    if (!op) return false;
    pa_operation_set_state_callback(op, [](pa_operation*, void* self) {
        static_cast<PulseConnection*>(self)->signal();
    }, this);
    bool finished = waitUntil([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
                              timeout);
    pa_operation_set_state_callback(op, nullptr, nullptr);
    if (!finished) pa_operation_cancel(op);
    pa_operation_unref(op);
    return finished;
}

void PulseConnection::signal() { pa_threaded_mainloop_signal(mainloop_, 0); }

}  // namespace platform
