#include "virtualmicrophone.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "keptdefaults.h"
#include "serverstate.h"

namespace platform {

namespace {

constexpr const char* kOwnerKey = "quorvane.owner=";
constexpr std::uint32_t kNone = PA_INVALID_INDEX;
// The lowest priority to a server that picks its default devices by priority, so that any
// other device is picked before ours.
constexpr const char* kLastPick = "priority.session=-1000 ";
// The user's microphone stays joined this long after the last recording ends, so that a
// call program that reopens its microphone does not make it close and open again.
constexpr auto kCloseVoiceAfter = std::chrono::seconds(1);
// pipewire-pulse lists a new recording before it is linked to its source, and may tell of
// the link by no event: the list is read again this often, for a while.
constexpr auto kRecheck = std::chrono::milliseconds(20);
constexpr int kRechecks = 50;

constexpr const char* kModuleNames[] = {"module-null-sink", "module-remap-source", "module-loopback"};

// The owner mark in a module's argument; empty when unmarked.
std::string ownerOf(const char* argument) {
    const char* at = argument ? std::strstr(argument, kOwnerKey) : nullptr;
    if (!at) return {};
    at += std::strlen(kOwnerKey);
    return std::string(at, std::strspn(at, "0123456789abcdefABCDEF"));
}

// The ids a client's connection owns, from its owner property.
std::vector<std::string> idsOf(const pa_proplist* properties) {
    const char* text = properties ? pa_proplist_gets(properties, PulseConnection::kOwnerProperty) : nullptr;
    std::vector<std::string> ids;
    std::string word;
    for (const char* c = text ? text : ""; ; ++c) {
        if (*c && *c != ' ') {
            word += *c;
            continue;
        }
        if (!word.empty()) ids.push_back(word);
        word.clear();
        if (!*c) return ids;
    }
}

// A module argument's value in quotes, so that blanks or quotes in a device's name stay
// inside the value and cannot add arguments of their own. pipewire-pulse reads no escapes
// (and PulseAudio allows neither quotes nor blanks in names), so the quote is one that the
// name does not hold; a name that holds both cannot be passed, and gives no value.
std::optional<std::string> quoted(const std::string& value) {
    for (char quote : {'"', '\''})
        if (value.find(quote) == std::string::npos) return quote + value + quote;
    return std::nullopt;
}

void* tag(std::uint32_t value) { return reinterpret_cast<void*>(std::uintptr_t(value)); }
std::uint32_t untag(void* value) { return std::uint32_t(reinterpret_cast<std::uintptr_t>(value)); }

}  // namespace

bool VirtualMicrophone::isOwnDevice(const std::string& name) {
    const std::string mix = kMixSinkName;
    return name == kSourceName || name == mix || name == mix + ".monitor";
}

VirtualMicrophone& VirtualMicrophone::instance() {
    // Never destroyed: answers of the server may still arrive while the program ends.
    static VirtualMicrophone* routing = new VirtualMicrophone;
    return *routing;
}

VirtualMicrophone::VirtualMicrophone() : source_(kNone) {
    modules_.fill(kNone);
    ServerState::instance();  // the connection is started
    KeptDefaults::instance();
    PulseLock lock;
    PulseConnection::instance().addUser(this, lock);
}

// The mixing sink never rewinds, so its monitor never replays what it passed on; the source
// that call programs list is over that monitor; the loopback brings the user's microphone in.
std::string VirtualMicrophone::moduleArgument(Part part) const {
    const std::string mark = kOwnerKey + PulseConnection::runId();
    switch (part) {
    case kMix:
        return std::string("sink_name=") + kMixSinkName + " norewinds=1 sink_properties='" +
               "device.description=\"Quorvane call mix\" " + kLastPick + mark + "'";
    case kMic:
        return std::string("master=") + kMixSinkName + ".monitor source_name=" + kSourceName +
               " source_properties='device.description=\"Quorvane microphone\" " + kLastPick +
               mark + "'";
    default:
        return "source=" + *quoted(microphone_) + " sink=" + kMixSinkName +
               " latency_msec=20 source_dont_move=true sink_dont_move=true"
               " sink_input_properties='" + mark + "' source_output_properties='" + mark + "'";
    }
}

bool VirtualMicrophone::enable() {
    PulseLock lock;
    if (!PulseConnection::instance().ready(lock)) return false;
    if (wanted_) return true;
    wanted_ = true;
    rememberMicrophone();
    reconcile();
    return true;
}

void VirtualMicrophone::disable() {
    PulseLock lock;
    if (!wanted_) return;
    wanted_ = false;
    movedAway_ = recordings_;
    voiceOpen_ = false;
    reconcile();
}

bool VirtualMicrophone::isEnabled() const {
    PulseLock lock;
    return wanted_;
}

void VirtualMicrophone::shutdown(std::chrono::milliseconds bound) {
    disable();
    PulseLock lock;
    PulseConnection::instance().waitUntil(lock, [this] {
        return unloading_ == 0 && std::none_of(pending_.begin(), pending_.end(), [](bool p) { return p; });
    }, bound);
}

void VirtualMicrophone::setFailureListener(std::function<void(const std::string&)> listener) {
    PulseLock lock;
    failureListener_ = std::move(listener);
}

void VirtualMicrophone::setStateListener(std::function<void(bool)> listener) {
    PulseLock lock;
    stateListener_ = std::move(listener);
}

const std::string& VirtualMicrophone::mixSink(const PulseLock&) const { return mixSink_; }

void VirtualMicrophone::setMixSinkListener(std::function<void(const PulseLock&)> listener,
                                     const PulseLock&) {
    mixSinkListener_ = std::move(listener);
}

void VirtualMicrophone::setMixSink(std::string sink) {
    if (sink == mixSink_) return;
    mixSink_ = std::move(sink);
    PulseLock lock;
    if (mixSinkListener_) mixSinkListener_(lock);
}

void VirtualMicrophone::announce(bool on) {
    if (stateListener_) stateListener_(on);
}

void VirtualMicrophone::rememberMicrophone() {
    PulseLock lock;
    const std::string& source = ServerState::instance().defaultSource(lock);
    microphone_ = isOwnDevice(source) ? "" : source;
}

// A part is there while the user wants the microphone and what it stands on is there; the
// user's microphone only while some program records.
bool VirtualMicrophone::needed(Part part) const {
    switch (part) {
    case kMix:
        return wanted_;
    case kMic:
        return wanted_ && modules_[kMix] != kNone;
    default:
        return wanted_ && modules_[kMic] != kNone && voiceOpen_ && !microphone_.empty();
    }
}

// Brings what is loaded in line with what is needed, one step at a time: every reply and
// event calls it again, so the end state follows the last command whatever the replies'
// order. Nothing is loaded while an unload is under way, so a name is free when it is
// loaded anew.
void VirtualMicrophone::reconcile() {
    PulseConnection::instance().signal();
    if (!context_ || sweeping_) return;
    for (Part part : {kVoice, kMic, kMix})
        if (modules_[part] != kNone && !needed(part)) unload(part);
    if (!wanted_ || unloading_ > 0) return;
    for (Part part : {kMix, kMic}) {
        if (modules_[part] != kNone) continue;
        if (!pending_[part]) load(part);
        return;
    }
    if (needed(kVoice) && modules_[kVoice] == kNone && !pending_[kVoice]) {
        if (!quoted(microphone_)) {
            turnedOffBy(pa_strerror(PA_ERR_INVALID));
            return reconcile();
        }
        // The user's microphone may be missing (unplugged, or not there yet after a server
        // start): then it joins when a source appears.
        pending_[kVoice] = true;
        voiceSourceFound_ = false;
        forget(pa_context_get_source_info_by_name(context_, microphone_.c_str(),
                                                  &VirtualMicrophone::onVoiceSource, nullptr));
    }
}

void VirtualMicrophone::onVoiceSource(pa_context*, const pa_source_info* info, int eol, void*) {
    VirtualMicrophone& self = instance();
    if (!eol) {
        self.voiceSourceFound_ = info != nullptr;
        return;
    }
    if (self.voiceSourceFound_ && self.needed(kVoice) && self.modules_[kVoice] == kNone)
        return self.load(kVoice);
    self.pending_[kVoice] = false;
    self.reconcile();
}

void VirtualMicrophone::load(Part part) {
    pending_[part] = true;
    forget(pa_context_load_module(context_, kModuleNames[part], moduleArgument(part).c_str(),
                                  &VirtualMicrophone::onLoaded, tag(part)));
}

// Each reply carries the part it loads, so a late reply is filed where it belongs.
void VirtualMicrophone::onLoaded(pa_context*, std::uint32_t index, void* part) {
    instance().loaded(Part(untag(part)), index);
}

void VirtualMicrophone::loaded(Part part, std::uint32_t index) {
    pending_[part] = false;
    if (index == kNone) {
        if (needed(part))
            turnedOffBy(pa_strerror(pa_context_errno(context_)));
        return reconcile();
    }
    modules_[part] = index;
    owners_[part] = PulseConnection::runId();
    if (part == kMix && wanted_) setMixSink(kMixSinkName);
    if (part == kMic && wanted_) findSource();
    reconcile();
}

// A refused step turns the whole microphone off and says why: a call is better served by
// the user's own microphone than by half of this one.
void VirtualMicrophone::turnedOffBy(const std::string& reason) {
    wanted_ = false;
    voiceOpen_ = false;
    if (failureListener_) failureListener_(reason);
}

void VirtualMicrophone::unload(Part part) {
    const std::uint32_t index = modules_[part];
    modules_[part] = kNone;
    if (part == kMix) setMixSink({});
    if (part == kMic) {
        source_ = kNone;
        recordings_.clear();
    }
    unloadChecked(index, owners_[part]);
}

void VirtualMicrophone::unloadChecked(std::uint32_t index, const std::string& owner) {
    ++unloading_;
    checking_[index] = owner;
    forget(pa_context_get_module_info(context_, index, &VirtualMicrophone::onUnloadCheck, tag(index)));
}

// The module's owner mark is read again before it goes: a number that another program's
// module got after ours ended is left alone.
void VirtualMicrophone::onUnloadCheck(pa_context* c, const pa_module_info* info, int eol, void* tagged) {
    VirtualMicrophone& self = instance();
    const std::uint32_t index = untag(tagged);
    const auto checked = self.checking_.find(index);
    if (checked == self.checking_.end()) return;
    const bool ours = !eol && info && ownerOf(info->argument) == checked->second;
    if (!eol && !ours) return;  // the end of the list follows
    self.checking_.erase(checked);
    if (ours) return forget(pa_context_unload_module(c, index, &VirtualMicrophone::onUnloaded, nullptr));
    --self.unloading_;
    self.reconcile();
}

void VirtualMicrophone::onUnloaded(pa_context*, int, void*) {
    VirtualMicrophone& self = instance();
    if (self.unloading_ > 0) --self.unloading_;
    self.reconcile();
}

void VirtualMicrophone::findSource() {
    forget(pa_context_get_source_info_list(context_, &VirtualMicrophone::onSources, nullptr));
}

void VirtualMicrophone::onSources(pa_context*, const pa_source_info* info, int eol, void*) {
    VirtualMicrophone& self = instance();
    if (!eol && info && info->owner_module == self.modules_[kMic] && self.modules_[kMic] != kNone)
        self.source_ = info->index;
    if (eol) self.refreshRecordings();
}

void VirtualMicrophone::refreshRecordings() {
    if (!context_ || source_ == kNone) return;
    forget(pa_context_get_source_output_info_list(context_, &VirtualMicrophone::onRecordings, nullptr));
}

void VirtualMicrophone::onRecordings(pa_context*, const pa_source_output_info* info, int eol, void*) {
    VirtualMicrophone& self = instance();
    if (!eol && info) self.listing_.push_back({info->index, info->client, info->source});
    if (!eol) return;
    self.recordingsKnown(std::exchange(self.listing_, {}));
}

// The microphone joins when the first recording starts and leaves a moment after the last
// one ends.
void VirtualMicrophone::recordingsKnown(std::vector<Recording> outputs) {
    if (source_ == kNone) return;
    const bool unlinked = std::any_of(outputs.begin(), outputs.end(), [](const Recording& r) {
        return r.client != kNone && r.source == kNone;
    });
    if (unlinked && !recheck_ && rechecks_-- > 0)
        recheck_ = PulseConnection::instance().startTimer(kRecheck, &VirtualMicrophone::onRecheck, nullptr);
    moveBack(outputs);
    recordings_.clear();
    std::copy_if(outputs.begin(), outputs.end(), std::back_inserter(recordings_),
                 [this](const Recording& r) { return r.source == source_; });
    pa_mainloop_api* api = PulseConnection::instance().api();
    if (!recordings_.empty()) {
        if (closeVoice_) api->time_free(closeVoice_);
        closeVoice_ = nullptr;
        voiceOpen_ = true;
    } else if (voiceOpen_ && !closeVoice_) {
        closeVoice_ = PulseConnection::instance().startTimer(
            std::chrono::duration_cast<std::chrono::milliseconds>(kCloseVoiceAfter),
            &VirtualMicrophone::onCloseVoice, nullptr);
    }
    reconcile();
}

void VirtualMicrophone::onRecheck(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void*) {
    VirtualMicrophone& self = instance();
    api->time_free(event);
    self.recheck_ = nullptr;
    PulseLock lock;
    self.refreshRecordings();
}

void VirtualMicrophone::onCloseVoice(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void*) {
    VirtualMicrophone& self = instance();
    api->time_free(event);
    self.closeVoice_ = nullptr;
    PulseLock lock;
    self.voiceOpen_ = false;
    self.reconcile();
}

// Recordings that were on the microphone when it was last turned off, and that the server
// moved to another source then, come back, if the same client still has them.
void VirtualMicrophone::moveBack(const std::vector<Recording>& live) {
    for (const Recording& away : movedAway_) {
        const bool there = std::any_of(live.begin(), live.end(), [&](const Recording& r) {
            return r.index == away.index && r.client == away.client && r.source != source_;
        });
        if (there) forget(pa_context_move_source_output_by_index(context_, away.index, source_, nullptr, nullptr));
    }
    movedAway_.clear();
}

void VirtualMicrophone::connected(pa_context* context, const PulseLock&) {
    context_ = context;
    ownIds_ = {PulseConnection::runId()};
    sweep();
}

void VirtualMicrophone::disconnected(const PulseLock&) {
    context_ = nullptr;
    modules_.fill(kNone);
    pending_.fill(false);
    checking_.clear();
    unloading_ = 0;
    source_ = kNone;
    recordings_.clear();
    listing_.clear();
    movedAway_.clear();
    for (pa_time_event** timer : {&closeVoice_, &recheck_}) {
        if (*timer) PulseConnection::instance().api()->time_free(*timer);
        *timer = nullptr;
    }
    sweeping_ = false;
    setMixSink({});
}

// What the modules of a new connection are: every client's owner ids, then every marked
// module, the sources they make and the recordings on those sources. The server answers in
// order, so the last list ends the sweep.
void VirtualMicrophone::sweep() {
    sweeping_ = true;
    liveIds_.clear();
    leftovers_.clear();
    forget(pa_context_get_client_info_list(context_, &VirtualMicrophone::onSweepClient, nullptr));
    forget(pa_context_get_module_info_list(context_, &VirtualMicrophone::onSweepModule, nullptr));
    forget(pa_context_get_source_info_list(context_, &VirtualMicrophone::onSweepSource, nullptr));
    forget(pa_context_get_source_output_info_list(context_, &VirtualMicrophone::onSweepRecording, nullptr));
}

// A mark that no other connected client owns is a leftover, this run's own from a lost
// connection included.
void VirtualMicrophone::onSweepClient(pa_context* c, const pa_client_info* info, int eol, void*) {
    if (eol || !info || info->index == pa_context_get_index(c)) return;
    for (std::string& id : idsOf(info->proplist)) instance().liveIds_.insert(std::move(id));
}

void VirtualMicrophone::onSweepModule(pa_context*, const pa_module_info* info, int eol, void*) {
    VirtualMicrophone& self = instance();
    if (eol || !info) return;
    const std::string id = ownerOf(info->argument);
    if (id.empty() || self.liveIds_.count(id)) return;
    auto found = std::find_if(self.leftovers_.begin(), self.leftovers_.end(),
                              [&](const auto& entry) { return entry.first == id; });
    if (found == self.leftovers_.end()) found = self.leftovers_.insert(found, {id, Leftover{}});
    found->second.modules.emplace_back(info->index, info->name ? info->name : "");
}

void VirtualMicrophone::onSweepSource(pa_context*, const pa_source_info* info, int eol, void*) {
    if (eol || !info) return;
    for (auto& [id, leftover] : instance().leftovers_)
        for (const auto& [index, name] : leftover.modules)
            if (index == info->owner_module && name == kModuleNames[kMic]) leftover.source = info->index;
}

void VirtualMicrophone::onSweepRecording(pa_context*, const pa_source_output_info* info, int eol, void*) {
    VirtualMicrophone& self = instance();
    if (eol) return self.swept();
    if (!info) return;
    for (auto& [id, leftover] : self.leftovers_)
        if (leftover.source != kNone && info->source == leftover.source)
            leftover.recordings.push_back({info->index, info->client, info->source});
}

// The first leftover that a call still records from is taken over; the rest are unloaded.
void VirtualMicrophone::swept() {
    sweeping_ = false;
    bool taken = false;
    for (const auto& [id, leftover] : leftovers_) {
        if (!taken && !leftover.recordings.empty() && modules_[kMix] == kNone && modules_[kMic] == kNone) {
            takeOver(id, leftover);
            taken = true;
            continue;
        }
        for (const auto& module : leftover.modules) unloadChecked(module.first, id);
    }
    leftovers_.clear();
    reconcile();
}

void VirtualMicrophone::takeOver(const std::string& id, const Leftover& leftover) {
    if (std::find(ownIds_.begin(), ownIds_.end(), id) == ownIds_.end()) {
        ownIds_.push_back(id);
        std::string ids;
        for (const std::string& own : ownIds_) ids += (ids.empty() ? "" : " ") + own;
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PulseConnection::kOwnerProperty, ids.c_str());
        forget(pa_context_proplist_update(context_, PA_UPDATE_REPLACE, properties, nullptr, nullptr));
        pa_proplist_free(properties);
    }
    for (const auto& [index, name] : leftover.modules) {
        const auto part = std::size_t(std::find(std::begin(kModuleNames), std::end(kModuleNames), name) -
                                      std::begin(kModuleNames));
        if (part < kParts && modules_[part] == kNone) {
            modules_[part] = index;
            owners_[part] = id;
        } else
            unloadChecked(index, id);
    }
    source_ = leftover.source;
    recordings_ = leftover.recordings;
    voiceOpen_ = true;
    const bool wasOn = wanted_;
    wanted_ = true;
    if (!wasOn) rememberMicrophone();
    if (modules_[kMix] != kNone) setMixSink(kMixSinkName);
    if (!wasOn) announce(true);
}

void VirtualMicrophone::serverEvent(pa_subscription_event_type_t type, std::uint32_t index, const PulseLock&) {
    if (!context_ || sweeping_) return;
    const unsigned facility = eventFacility(type);
    const unsigned kind = eventKind(type);
    if (facility == PA_SUBSCRIPTION_EVENT_MODULE && kind == PA_SUBSCRIPTION_EVENT_REMOVE)
        return removed(index);
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_NEW && wanted_) {
        // pipewire-pulse may confirm a module before its source is listed.
        if (modules_[kMic] != kNone && source_ == kNone) findSource();
        reconcile();
    }
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT) {
        rechecks_ = kRechecks;
        refreshRecordings();
    }
}

// A module of ours that went without our asking: the loopback ends itself when its
// microphone goes, and joins again when it comes back; the sink or the source removed by
// someone else turns the whole microphone off, rather than fight them.
void VirtualMicrophone::removed(std::uint32_t index) {
    const auto part = std::size_t(std::find(modules_.begin(), modules_.end(), index) - modules_.begin());
    if (index == kNone || part >= kParts) return;
    const bool whole = modules_[kMix] != kNone && modules_[kMic] != kNone;
    modules_[part] = kNone;
    if (part == kMix) setMixSink({});
    if (part == kMic) source_ = kNone;
    if (part != kVoice && whole && wanted_) {
        wanted_ = false;
        voiceOpen_ = false;
        announce(false);
    }
    reconcile();
}


}  // namespace platform
