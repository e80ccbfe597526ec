#include "scopednullsink.h"

#include "pulseserver.h"

namespace testsupport {

ScopedNullSink::ScopedNullSink(const QString& name, int rate, const QString& format) {
    previousDefault_ = pactl({"get-default-sink"}).trimmed();
    int code = -1;
    const QString index = pactl({"load-module", "module-null-sink", "sink_name=" + name,
                                 QString("rate=%1").arg(rate), "channels=1", "format=" + format,
                                 // A rewind would rewrite what the monitor already passed on.
                                 "norewinds=1"},
                                &code).trimmed();
    if (code != 0) return;
    module_ = index;
    pactl({"set-default-sink", name});
}

ScopedNullSink::~ScopedNullSink() {
    if (module_.isEmpty()) return;
    if (!previousDefault_.isEmpty()) pactl({"set-default-sink", previousDefault_});
    pactl({"unload-module", module_});
}

}  // namespace testsupport
