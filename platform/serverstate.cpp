#include "serverstate.h"

namespace platform {

namespace {

bool isChange(pa_subscription_event_type_t type) {
    return eventKind(type) == PA_SUBSCRIPTION_EVENT_CHANGE;
}

bool sameVolume(const pa_cvolume& a, const pa_cvolume& b) { return pa_cvolume_equal(&a, &b) != 0; }

}  // namespace

ServerState& ServerState::instance() {
    // Never destroyed: answers to its queries may still arrive while the program ends.
    static ServerState* state = new ServerState;
    return *state;
}

ServerState::ServerState() {
    PulseLock lock;
    PulseConnection::instance().addUser(this, lock);
    PulseConnection::instance().start(lock);
}

void ServerState::setSinkListener(SinkListener listener, const PulseLock&) {
    sinkListener_ = std::move(listener);
}

const ServerState::Sink* ServerState::defaultSink(const PulseLock&) const {
    return sink_ ? &*sink_ : nullptr;
}

const std::string& ServerState::defaultSource(const PulseLock&) const { return defaultSource_; }

void ServerState::connected(pa_context* context, const PulseLock&) {
    context_ = context;
    queryServer();
}

void ServerState::disconnected(const PulseLock&) {
    const bool hadSink = sink_.has_value();
    startPending_ = false;
    context_ = nullptr;
    defaultSinkName_.clear();
    defaultSource_.clear();
    sink_.reset();
    sinkWrites_ = 0;
    streamIndex_ = PA_INVALID_INDEX;
    streamVolume_.reset();
    streamMute_.reset();
    streamWrites_ = 0;
    if (hadSink && sinkListener_) sinkListener_(false);
}

void ServerState::serverEvent(pa_subscription_event_type_t type, std::uint32_t index,
                              const PulseLock&) {
    switch (eventFacility(type)) {
    case PA_SUBSCRIPTION_EVENT_SERVER:
        queryServer();
        break;
    case PA_SUBSCRIPTION_EVENT_SINK:
        if (sink_ && index == sink_->index && isChange(type) && sinkWrites_ == 0) querySink();
        break;
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT:
        if (index == streamIndex_ && isChange(type) && streamWrites_ == 0) queryStream();
        break;
    default:
        break;
    }
}

void ServerState::queryServer() {
    if (context_) forget(pa_context_get_server_info(context_, &ServerState::onServerInfo, this));
}

void ServerState::querySink() {
    if (!context_ || defaultSinkName_.empty()) return;
    forget(pa_context_get_sink_info_by_name(context_, defaultSinkName_.c_str(),
                                            &ServerState::onSinkInfo, this));
}

void ServerState::queryStream() {
    if (!context_ || streamIndex_ == PA_INVALID_INDEX) return;
    forget(pa_context_get_sink_input_info(context_, streamIndex_, &ServerState::onStreamInfo, this));
}

void ServerState::onServerInfo(pa_context*, const pa_server_info* info, void* self) {
    if (info) static_cast<ServerState*>(self)->takeServer(*info);
}

void ServerState::takeServer(const pa_server_info& info) {
    defaultSource_ = info.default_source_name ? info.default_source_name : "";
    const std::string sinkName = info.default_sink_name ? info.default_sink_name : "";
    if (sinkName == defaultSinkName_ && sink_) return;
    defaultSinkName_ = sinkName;
    if (!sinkName.empty()) return querySink();
    startPending_ = false;
    if (sink_ && sinkListener_) {
        sink_.reset();
        sinkListener_(false);
    }
}

void ServerState::onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* state = static_cast<ServerState*>(self);
    if (!eol && info) state->takeSink(*info);
    if (eol) state->startPending_ = false;
}

void ServerState::takeSink(const pa_sink_info& info) {
    if (info.name != defaultSinkName_) return;  // the default moved on meanwhile
    const bool atStart = !sink_ && startPending_;
    startPending_ = false;
    const bool sameSink = sink_ && sink_->index == info.index;
    if (sameSink && sinkWrites_ > 0) return;  // our own writes are still on their way
    const bool changed = !sameSink || !sameVolume(sink_->volume, info.volume) ||
                         sink_->mute != (info.mute != 0);
    sink_ = Sink{info.index, info.name, info.monitor_source_name ? info.monitor_source_name : "",
                 info.volume, info.mute != 0};
    if (changed && sinkListener_) sinkListener_(atStart);
}

bool ServerState::setSinkVolume(pa_volume_t loudest, const PulseLock&) {
    if (!context_ || !sink_) return false;
    pa_cvolume volume = sink_->volume;
    pa_cvolume_scale(&volume, loudest);
    sink_->volume = volume;
    ++sinkWrites_;
    forget(pa_context_set_sink_volume_by_index(context_, sink_->index, &volume,
                                               &ServerState::onSinkWritten, this));
    return true;
}

bool ServerState::setSinkMute(bool mute, const PulseLock&) {
    if (!context_ || !sink_) return false;
    sink_->mute = mute;
    ++sinkWrites_;
    forget(pa_context_set_sink_mute_by_index(context_, sink_->index, mute,
                                             &ServerState::onSinkWritten, this));
    return true;
}

// Once every write is answered, the server's own account is taken again: it may have limited
// a value, or someone else may have written in between.
void ServerState::onSinkWritten(pa_context*, int, void* self) {
    auto* state = static_cast<ServerState*>(self);
    if (state->sinkWrites_ > 0 && --state->sinkWrites_ == 0) state->querySink();
}

// A value written while the stream was on its way is sent now; otherwise the server's own
// account of the new stream is taken, which a server that restores per-application volumes
// may have set.
void ServerState::streamOpened(std::uint32_t sinkInput, const PulseLock&) {
    streamIndex_ = sinkInput;
    streamWrites_ = 0;
    if (streamVolume_ != startedWith_.volume) sendStreamVolume();
    if (streamMute_ != startedWith_.mute) sendStreamMute();
    if (streamWrites_ == 0) queryStream();
}

void ServerState::streamClosed(const PulseLock&) {
    streamIndex_ = PA_INVALID_INDEX;
    streamWrites_ = 0;
}

ServerState::StreamStart ServerState::streamStart(const PulseLock&) {
    startedWith_ = {streamVolume_, streamMute_};
    return startedWith_;
}

std::optional<pa_volume_t> ServerState::streamVolume(const PulseLock&) const {
    if (!context_) return std::nullopt;
    return streamVolume_.value_or(PA_VOLUME_NORM);
}

std::optional<bool> ServerState::streamMute(const PulseLock&) const {
    if (!context_) return std::nullopt;
    return streamMute_.value_or(false);
}

bool ServerState::setStreamVolume(pa_volume_t volume, const PulseLock&) {
    if (!context_) return false;
    streamVolume_ = volume;
    sendStreamVolume();
    return true;
}

bool ServerState::setStreamMute(bool mute, const PulseLock&) {
    if (!context_) return false;
    streamMute_ = mute;
    sendStreamMute();
    return true;
}

void ServerState::sendStreamVolume() {
    if (!context_ || streamIndex_ == PA_INVALID_INDEX || !streamVolume_) return;
    pa_cvolume volume;
    pa_cvolume_set(&volume, 1, *streamVolume_);
    ++streamWrites_;
    forget(pa_context_set_sink_input_volume(context_, streamIndex_, &volume,
                                            &ServerState::onStreamWritten, this));
}

void ServerState::sendStreamMute() {
    if (!context_ || streamIndex_ == PA_INVALID_INDEX || !streamMute_) return;
    ++streamWrites_;
    forget(pa_context_set_sink_input_mute(context_, streamIndex_, *streamMute_,
                                          &ServerState::onStreamWritten, this));
}

void ServerState::onStreamWritten(pa_context*, int, void* self) {
    auto* state = static_cast<ServerState*>(self);
    if (state->streamWrites_ > 0 && --state->streamWrites_ == 0) state->queryStream();
}

void ServerState::onStreamInfo(pa_context*, const pa_sink_input_info* info, int eol, void* self) {
    if (!eol && info) static_cast<ServerState*>(self)->takeStream(*info);
}

void ServerState::takeStream(const pa_sink_input_info& info) {
    if (info.index != streamIndex_ || streamWrites_ > 0) return;
    streamVolume_ = pa_cvolume_max(&info.volume);
    streamMute_ = info.mute != 0;
}

}  // namespace platform
