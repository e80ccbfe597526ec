#include "pulseconnection.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <random>

namespace platform {

namespace {

bool isDead(pa_context_state_t s) { return s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED; }

constexpr auto kEvents = static_cast<pa_subscription_mask_t>(
    PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK_INPUT |
    PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT |
    PA_SUBSCRIPTION_MASK_MODULE | PA_SUBSCRIPTION_MASK_SERVER);

struct Deadline {
    PulseConnection* connection;
    bool passed = false;
};

void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
    auto* deadline = static_cast<Deadline*>(data);
    deadline->passed = true;
    deadline->connection->signal();
}

void onReleasedState(pa_stream* s, void*) {
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY:
        pa_stream_disconnect(s);  // ends in PA_STREAM_TERMINATED below
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_unref(s);
        break;
    default:
        break;
    }
}

}  // namespace

PulseLock::PulseLock() : taken_(!PulseConnection::instance().onSoundThread()) {
    if (taken_) pa_threaded_mainloop_lock(PulseConnection::instance().mainloop_);
}

PulseLock::~PulseLock() {
    if (taken_) pa_threaded_mainloop_unlock(PulseConnection::instance().mainloop_);
}

const std::string& PulseConnection::runId() {
    static const std::string id = [] {
        std::random_device random;
        std::string text;
        for (int i = 0; i < 4; ++i) {
            char word[9];
            std::snprintf(word, sizeof word, "%08x", static_cast<unsigned>(random()));
            text += word;
        }
        return text;
    }();
    return id;
}

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
        PulseLock lock;
        users_.clear();
        if (retry_) api()->time_free(retry_);
        retry_ = nullptr;
        drop(lock);
    }
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
}

pa_mainloop_api* PulseConnection::api() const { return pa_threaded_mainloop_get_api(mainloop_); }

bool PulseConnection::onSoundThread() const { return pa_threaded_mainloop_in_thread(mainloop_); }

pa_time_event* PulseConnection::startTimer(std::chrono::milliseconds delay, pa_time_event_cb_t callback,
                                           void* data) {
    struct timeval when;
    pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(delay.count()) * PA_USEC_PER_MSEC);
    return api()->time_new(api(), &when, callback, data);
}

void PulseConnection::start(const PulseLock& lock) {
    if (!context_ && !retry_) connect(lock);
}

pa_context* PulseConnection::ready(const PulseLock&) const {
    return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY ? context_ : nullptr;
}

bool PulseConnection::isConnecting(const PulseLock&) const {
    if (!context_) return false;
    const auto s = pa_context_get_state(context_);
    return s != PA_CONTEXT_READY && !isDead(s);
}

void PulseConnection::addUser(ConnectionUser* user, const PulseLock& lock) {
    users_.push_back(user);
    if (pa_context* c = ready(lock)) user->connected(c, lock);
}

void PulseConnection::removeUser(ConnectionUser* user, const PulseLock&) {
    users_.erase(std::remove(users_.begin(), users_.end(), user), users_.end());
}

void PulseConnection::connect(const PulseLock& lock) {
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, kOwnerProperty, runId().c_str());
    context_ = pa_context_new_with_proplist(api(), "Quorvane", properties);
    pa_proplist_free(properties);
    if (!context_) return retryLater(lock);
    pa_context_set_state_callback(context_, &PulseConnection::onContextState, this);
    pa_context_set_subscribe_callback(context_, &PulseConnection::onSubscription, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        drop(lock);
        retryLater(lock);
    }
}

void PulseConnection::drop(const PulseLock&) {
    if (!context_) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseConnection::retryLater(const PulseLock&) {
    if (retry_) return;
    retry_ = startTimer(kRetryInterval, &PulseConnection::onRetry, this);
}

void PulseConnection::onRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                              void* self) {
    auto* connection = static_cast<PulseConnection*>(self);
    api->time_free(event);
    connection->retry_ = nullptr;
    PulseLock lock;
    if (!connection->context_) connection->connect(lock);
}

void PulseConnection::onContextState(pa_context*, void* self) {
    PulseLock lock;
    static_cast<PulseConnection*>(self)->onState(lock);
}

void PulseConnection::onState(const PulseLock& lock) {
    const auto state = pa_context_get_state(context_);
    const std::vector<ConnectionUser*> users = users_;
    if (state == PA_CONTEXT_READY) {
        forget(pa_context_subscribe(context_, kEvents, nullptr, nullptr));
        for (ConnectionUser* user : users) user->connected(context_, lock);
    } else if (isDead(state)) {
        for (ConnectionUser* user : users) user->disconnected(lock);
        drop(lock);
        retryLater(lock);
    }
    signal();
}

void PulseConnection::onSubscription(pa_context*, pa_subscription_event_type_t type,
                                     std::uint32_t index, void* self) {
    PulseLock lock;
    const std::vector<ConnectionUser*> users = static_cast<PulseConnection*>(self)->users_;
    for (ConnectionUser* user : users) user->serverEvent(type, index, lock);
}

bool PulseConnection::waitUntil(const PulseLock&, const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
    if (done() || onSoundThread()) return done();
    Deadline deadline{this};
    pa_time_event* event = startTimer(timeout, &onDeadline, &deadline);
    while (!done() && !deadline.passed) pa_threaded_mainloop_wait(mainloop_);
    api()->time_free(event);
    return done();
}

bool PulseConnection::waitFor(const PulseLock& lock, pa_operation* op,
                              std::chrono::milliseconds timeout) {
    if (!op) return false;
    pa_operation_set_state_callback(op, [](pa_operation*, void* self) {
        static_cast<PulseConnection*>(self)->signal();
    }, this);
    const bool finished = waitUntil(
        lock, [op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, timeout);
    pa_operation_set_state_callback(op, nullptr, nullptr);
    if (!finished) pa_operation_cancel(op);
    pa_operation_unref(op);
    return finished;
}

void PulseConnection::signal() { pa_threaded_mainloop_signal(mainloop_, 0); }

void releaseStream(pa_stream* s, const PulseLock&) {
    if (!s) return;
    pa_stream_set_read_callback(s, nullptr, nullptr);
    pa_stream_set_write_callback(s, nullptr, nullptr);
    pa_stream_set_state_callback(s, &onReleasedState, nullptr);
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_CREATING:  // disconnected by onReleasedState once confirmed
        break;
    case PA_STREAM_READY:  // unreferenced by onReleasedState once terminated
        pa_stream_disconnect(s);
        break;
    default:
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_unref(s);
    }
}

void forget(pa_operation* op) {
    if (op) pa_operation_unref(op);
}

}  // namespace platform
