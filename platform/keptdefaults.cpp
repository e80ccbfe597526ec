#include "keptdefaults.h"

#include <algorithm>
#include <utility>

#include "virtualmicrophone.h"

namespace platform {

namespace {

// A server picks a new device as its default a moment after it appears: until then a move
// to one of ours is the server's.
constexpr auto kServersPick = std::chrono::seconds(3);
// pipewire-pulse may report a default of its own for a moment, until the session manager has
// chosen after a device went away; a move to ours is judged once it has lasted this long.
constexpr auto kSettle = std::chrono::milliseconds(400);

bool isOurs(const std::string& device) { return VirtualMicrophone::isOwnDevice(device); }

std::string nameOf(const char* name) { return name ? name : ""; }

int portPriority(const auto& info) {
    return info.active_port ? int(info.active_port->priority) : 0;
}

}  // namespace

KeptDefaults& KeptDefaults::instance() {
    // Never destroyed: answers of the server may still arrive while the program ends.
    static KeptDefaults* kept = new KeptDefaults;
    return *kept;
}

KeptDefaults::KeptDefaults() {
    PulseLock lock;
    PulseConnection::instance().addUser(this, lock);
}

void KeptDefaults::connected(pa_context* context, const PulseLock&) {
    context_ = context;
    forget(pa_context_get_server_info(context_, &KeptDefaults::onServerInfo, this));
}

void KeptDefaults::disconnected(const PulseLock&) {
    context_ = nullptr;
    if (judgeTimer_) PulseConnection::instance().api()->time_free(judgeTimer_);
    judgeTimer_ = nullptr;
    sink_ = Kept(false);
    source_ = Kept(true);
}

void KeptDefaults::serverEvent(pa_subscription_event_type_t type, std::uint32_t index,
                               const PulseLock&) {
    if (!context_) return;
    const unsigned facility = eventFacility(type);
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER)
        forget(pa_context_get_server_info(context_, &KeptDefaults::onServerInfo, this));
    if (eventKind(type) != PA_SUBSCRIPTION_EVENT_NEW) return;
    if (facility == PA_SUBSCRIPTION_EVENT_SINK)
        forget(pa_context_get_sink_info_by_index(context_, index, &KeptDefaults::onNewSink, this));
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE)
        forget(pa_context_get_source_info_by_index(context_, index, &KeptDefaults::onNewSource,
                                                   this));
}

void KeptDefaults::onServerInfo(pa_context*, const pa_server_info* info, void* self) {
    auto* kept = static_cast<KeptDefaults*>(self);
    if (!info || !kept->context_) return;
    kept->defaultSinkMonitor_ = nameOf(info->default_sink_name) + ".monitor";
    kept->take(kept->sink_, nameOf(info->default_sink_name));
    kept->take(kept->source_, nameOf(info->default_source_name));
}

// A default that moves from the user's device to one of ours, and stays there a moment, is
// judged once the devices are listed; one known at the start, or moved between ours, is left
// as it is.
void KeptDefaults::take(Kept& kept, const std::string& current) {
    if (current == kept.seen) return;
    const std::string previous = std::exchange(kept.seen, current);
    if (!isOurs(current)) {
        if (current != kept.standIn) {
            kept.user = current;
            kept.standIn.clear();
        }
        return;
    }
    if (previous.empty() || isOurs(previous)) return;
    kept.moved = true;
    judgeLater();
}

void KeptDefaults::judgeLater() {
    if (!judgeTimer_)
        judgeTimer_ = PulseConnection::instance().startTimer(kSettle, &KeptDefaults::onJudge, this);
}

void KeptDefaults::onJudge(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                           void* self) {
    auto* kept = static_cast<KeptDefaults*>(self);
    api->time_free(event);
    kept->judgeTimer_ = nullptr;
    kept->judge(kept->sink_);
    kept->judge(kept->source_);
}

void KeptDefaults::judge(Kept& kept) {
    if (!kept.moved) return;
    if (context_ && isOurs(kept.seen)) return list(kept);
    kept.moved = false;
}

void KeptDefaults::list(Kept& kept) {
    if (kept.listing) return;
    kept.listing = true;
    kept.others.clear();
    if (kept.source)
        forget(pa_context_get_source_info_list(context_, &KeptDefaults::onSourceInfo, this));
    else
        forget(pa_context_get_sink_info_list(context_, &KeptDefaults::onSinkInfo, this));
}

void KeptDefaults::onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* kept = static_cast<KeptDefaults*>(self);
    if (eol) return kept->listed(kept->sink_);
    if (info && !isOurs(nameOf(info->name)))
        kept->sink_.others.emplace_back(nameOf(info->name), portPriority(*info));
}

// As the servers rank sources: a microphone before a sink's monitor, the default sink's
// monitor before other monitors, then by the priority of the active port.
void KeptDefaults::onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* self) {
    auto* kept = static_cast<KeptDefaults*>(self);
    if (eol) return kept->listed(kept->source_);
    if (!info || isOurs(nameOf(info->name))) return;
    const std::string name = nameOf(info->name);
    const bool microphone = info->monitor_of_sink == PA_INVALID_INDEX;
    const int kind = microphone ? 2 : name == kept->defaultSinkMonitor_ ? 1 : 0;
    const int rank = kind * 1'000'000 + std::min(portPriority(*info), 999'999);
    kept->source_.others.emplace_back(name, rank);
}

void KeptDefaults::listed(Kept& kept) {
    kept.listing = false;
    if (!kept.moved || !context_) return;
    kept.moved = false;
    if (!isOurs(kept.seen)) return;  // set elsewhere meanwhile
    const auto present = [&](const std::string& name) {
        return std::any_of(kept.others.begin(), kept.others.end(),
                           [&](const auto& other) { return other.first == name; });
    };
    const bool justAppeared = std::chrono::steady_clock::now() < oursAppeared_ + kServersPick;
    if (present(kept.user)) {
        if (justAppeared) setDefault(kept, kept.user);
        return;  // otherwise the user's own choice
    }
    const auto best = std::max_element(
        kept.others.begin(), kept.others.end(),
        [](const auto& a, const auto& b) { return a.second < b.second; });
    if (best == kept.others.end()) return;
    kept.standIn = best->first;
    setDefault(kept, best->first);
}

void KeptDefaults::setDefault(const Kept& kept, const std::string& name) {
    if (kept.source)
        forget(pa_context_set_default_source(context_, name.c_str(), nullptr, nullptr));
    else
        forget(pa_context_set_default_sink(context_, name.c_str(), nullptr, nullptr));
}

// One of ours appearing starts the time in which the server may pick it; the user's device
// coming back while a stand-in holds its place becomes the default again. A sink brings its
// monitor, which pipewire-pulse does not always report as a source of its own, and may
// report before that source can be set: the stand-in is given up only once the server
// names the user's device as default again, so the source's own report tries once more.
void KeptDefaults::onNewSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* kept = static_cast<KeptDefaults*>(self);
    if (eol || !info) return;
    kept->appeared(kept->sink_, nameOf(info->name));
    kept->appeared(kept->source_, nameOf(info->monitor_source_name));
}

void KeptDefaults::onNewSource(pa_context*, const pa_source_info* info, int eol, void* self) {
    auto* kept = static_cast<KeptDefaults*>(self);
    if (!eol && info) kept->appeared(kept->source_, nameOf(info->name));
}

void KeptDefaults::appeared(Kept& kept, const std::string& name) {
    if (!context_) return;
    if (isOurs(name)) {
        oursAppeared_ = std::chrono::steady_clock::now();
        return;
    }
    if (kept.standIn.empty() || name != kept.user || kept.seen != kept.standIn) return;
    setDefault(kept, kept.user);
}

}  // namespace platform
