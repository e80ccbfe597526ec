#include "scopednullsink.h"

#include <QProcess>

#include "pulseserver.h"

namespace testsupport {

namespace {

void setGraph(const QString& key, int value) {
    QProcess metadata;
    metadata.start("pw-metadata", {"-n", "settings", "0", key, QString::number(value)});
    metadata.waitForFinished(5000);
}

// PipeWire runs its whole graph at one rate and resamples every stream that differs, which
// would change the samples on their way; forcing the graph to the sink's rate keeps them. Its
// graph also runs in cycles as short as the shortest latency a stream asks for, and a cycle
// that a busy virtual machine misses drops samples; cycles of 40 ms ride that out.
void forceGraph(int rate) {
    if (qEnvironmentVariable("QUORVANE_SOUND_SERVER") != "pipewire") return;
    setGraph("clock.force-rate", rate);
    setGraph("clock.force-quantum", rate / 25);
}

}  // namespace

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
    forceGraph(rate);
}

ScopedNullSink::~ScopedNullSink() {
    if (module_.isEmpty()) return;
    forceGraph(0);
    if (!previousDefault_.isEmpty()) pactl({"set-default-sink", previousDefault_});
    pactl({"unload-module", module_});
}

}  // namespace testsupport
