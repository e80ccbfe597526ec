#include "virtualmicrophone.h"

#include <QFile>

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "keptdefaults.h"
#include "serverstate.h"

namespace platform {

namespace {

constexpr const char* kOwnerKey = "quorvane.owner=";
// The lowest priority to a server that picks its default devices by priority, so that any
// other device is picked before ours.
constexpr const char* kLastPick = "priority.session=-1000 ";

bool isOurs(const std::string& device) {
    return device == VirtualMicrophone::kSourceName ||
           device == std::string(VirtualMicrophone::kMixSinkName) + ".monitor" ||
           device == VirtualMicrophone::kMixSinkName;
}

// The process that loaded a module, from the owner mark in its arguments; 0 when unmarked.
long ownerOf(const char* argument) {
    const std::string text = argument ? argument : "";
    const std::size_t at = text.find(kOwnerKey);
    if (at == std::string::npos) return 0;
    return std::strtol(text.c_str() + at + std::char_traits<char>::length(kOwnerKey), nullptr, 10);
}

// A mark of this process's (from a connection that was lost) or of a program that has ended:
// the process is gone, or its number now belongs to another program.
bool isLeftover(long owner) {
    if (owner <= 0) return false;
    if (owner == getpid()) return true;
    if (kill(pid_t(owner), 0) != 0 && errno == ESRCH) return true;
    QFile name(QStringLiteral("/proc/%1/comm").arg(owner));
    return name.open(QIODevice::ReadOnly) && !name.readAll().startsWith("quorvane");
}

}  // namespace

VirtualMicrophone& VirtualMicrophone::instance() {
    // Never destroyed: answers of the server may still arrive while the program ends.
    static VirtualMicrophone* routing = new VirtualMicrophone;
    return *routing;
}

VirtualMicrophone::VirtualMicrophone() {
    ServerState::instance();  // the connection is started
    KeptDefaults::instance();
    PulseLock lock;
    PulseConnection::instance().addUser(this, lock);
}

std::string VirtualMicrophone::owner() const { return kOwnerKey + std::to_string(getpid()); }

// What is loaded, in order: the mixing sink (it never rewinds, so its monitor never replays
// what it passed on), the source that call programs list, and the microphone into the sink.
std::vector<std::pair<const char*, std::string>> VirtualMicrophone::modules() const {
    const std::string mark = owner();
    std::vector<std::pair<const char*, std::string>> plan;
    plan.emplace_back("module-null-sink",
                      std::string("sink_name=") + kMixSinkName + " norewinds=1 sink_properties='" +
                          "device.description=\"Quorvane call mix\" " + kLastPick + mark + "'");
    plan.emplace_back("module-remap-source",
                      std::string("master=") + kMixSinkName + ".monitor source_name=" + kSourceName +
                          " source_properties='device.description=\"Quorvane microphone\" " +
                          kLastPick + mark + "'");
    if (!microphone_.empty())
        plan.emplace_back("module-loopback",
                          "source=" + microphone_ + " sink=" + kMixSinkName +
                              " latency_msec=20 source_dont_move=true sink_dont_move=true"
                              " sink_input_properties='" + mark + "' source_output_properties='" +
                              mark + "'");
    return plan;
}

bool VirtualMicrophone::enable() {
    ServerState& state = ServerState::instance();
    PulseLock lock;
    if (!PulseConnection::instance().ready(lock)) return false;
    if (wanted_) return true;
    wanted_ = true;
    const std::string& source = state.defaultSource(lock);
    microphone_ = isOurs(source) ? "" : source;
    if (!loading_) loadNext();
    return true;
}

void VirtualMicrophone::disable() {
    PulseLock lock;
    wanted_ = false;
    setMixSink({}, lock);
    unloadAll();
}

bool VirtualMicrophone::isEnabled() const {
    PulseLock lock;
    return wanted_;
}

void VirtualMicrophone::shutdown(std::chrono::milliseconds bound) {
    disable();
    PulseLock lock;
    PulseConnection::instance().waitUntil(lock, [this] { return unloading_ == 0 && !loading_; }, bound);
}

void VirtualMicrophone::setFailureListener(std::function<void(const std::string&)> listener) {
    PulseLock lock;
    failureListener_ = std::move(listener);
}

const std::string& VirtualMicrophone::mixSink(const PulseLock&) const { return mixSink_; }

void VirtualMicrophone::setMixSinkListener(std::function<void(const PulseLock&)> listener,
                                     const PulseLock&) {
    mixSinkListener_ = std::move(listener);
}

void VirtualMicrophone::setMixSink(std::string sink, const PulseLock& lock) {
    if (sink == mixSink_) return;
    mixSink_ = std::move(sink);
    if (mixSinkListener_) mixSinkListener_(lock);
}

void VirtualMicrophone::connected(pa_context* context, const PulseLock&) {
    context_ = context;
    loading_ = true;  // after the sweep
    forget(pa_context_get_module_info_list(context_, &VirtualMicrophone::onModuleInfo, this));
}

void VirtualMicrophone::disconnected(const PulseLock& lock) {
    context_ = nullptr;
    loaded_.clear();
    loading_ = false;
    unloading_ = 0;
    setMixSink({}, lock);
}

// Leftovers are unloaded before anything is loaded anew: the server answers in order.
void VirtualMicrophone::onModuleInfo(pa_context*, const pa_module_info* info, int eol, void* self) {
    auto* routing = static_cast<VirtualMicrophone*>(self);
    if (!eol) {
        if (info && isLeftover(ownerOf(info->argument))) {
            ++routing->unloading_;
            forget(pa_context_unload_module(routing->context_, info->index, &VirtualMicrophone::onUnloaded,
                                            routing));
        }
        return;
    }
    routing->loading_ = false;
    if (routing->wanted_) routing->loadNext();
}

void VirtualMicrophone::loadNext() {
    const auto plan = modules();
    loading_ = context_ && loaded_.size() < plan.size();
    if (!loading_) return;
    const auto& [name, argument] = plan[loaded_.size()];
    forget(pa_context_load_module(context_, name, argument.c_str(), &VirtualMicrophone::onModuleLoaded, this));
}

void VirtualMicrophone::onModuleLoaded(pa_context*, std::uint32_t index, void* self) {
    static_cast<VirtualMicrophone*>(self)->loaded(index);
}

void VirtualMicrophone::loaded(std::uint32_t index) {
    PulseLock lock;
    if (index == PA_INVALID_INDEX) return loadFailed();
    loaded_.push_back(index);
    if (!wanted_) {  // turned off while loading
        loading_ = false;
        return unloadAll();
    }
    if (loaded_.size() == kVoice) setMixSink(kMixSinkName, lock);
    loadNext();
}

// Without its microphone (not there yet after a server start, or unplugged) the virtual
// microphone still carries the program's sounds; the voice joins when a source appears.
void VirtualMicrophone::loadFailed() {
    loading_ = false;
    if (!wanted_ || loaded_.size() == kVoice) return;
    const std::string reason = pa_strerror(pa_context_errno(context_));
    wanted_ = false;
    unloadAll();
    if (failureListener_) failureListener_(reason);
}

void VirtualMicrophone::unloadAll() {
    if (!context_) return loaded_.clear();
    for (std::uint32_t index : loaded_) {
        ++unloading_;
        forget(pa_context_unload_module(context_, index, &VirtualMicrophone::onUnloaded, this));
    }
    loaded_.clear();
}

void VirtualMicrophone::onUnloaded(pa_context*, int, void* self) {
    auto* routing = static_cast<VirtualMicrophone*>(self);
    if (routing->unloading_ > 0) --routing->unloading_;
    PulseConnection::instance().signal();
}

void VirtualMicrophone::serverEvent(pa_subscription_event_type_t type, std::uint32_t index, const PulseLock&) {
    if (!context_ || !wanted_ || loaded_.size() < kVoice) return;
    const unsigned facility = eventFacility(type);
    const unsigned kind = eventKind(type);
    if (facility == PA_SUBSCRIPTION_EVENT_MODULE && kind == PA_SUBSCRIPTION_EVENT_REMOVE &&
        loaded_.size() > kVoice && loaded_[kVoice] == index)
        loaded_.pop_back();  // the loopback ends itself when its microphone goes
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_NEW && !loading_)
        loadNext();
}

}  // namespace platform
