#include "callrouting.h"

#include "virtualmicrophone.h"

namespace platform {

CallRouting& CallRouting::instance() {
    static CallRouting routing;
    return routing;
}

CallRouting::CallRouting() {
    VirtualMicrophone::instance().setFailureListener(
        [this](const std::string& reason) { emit failed(QString::fromStdString(reason)); });
    VirtualMicrophone::instance().setStateListener([this](bool on) { emit turned(on); });
}

bool CallRouting::enable() { return VirtualMicrophone::instance().enable(); }

void CallRouting::disable() { VirtualMicrophone::instance().disable(); }

bool CallRouting::isEnabled() const { return VirtualMicrophone::instance().isEnabled(); }

void CallRouting::shutdown(std::chrono::milliseconds bound) {
    VirtualMicrophone::instance().shutdown(bound);
}

}  // namespace platform
