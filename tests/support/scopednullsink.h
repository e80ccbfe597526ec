#pragma once

#include <QString>

namespace testsupport {

// A null sink in a given sample format, made the default for as long as the object lives;
// the previous default sink is restored and the module unloaded afterwards. Playing and
// recording its monitor in that same format passes samples through unchanged. The sink never
// rewinds, so its monitor shows every sample that was played, as a sound card would sound it.
// On PipeWire the graph runs at the sink's rate meanwhile.
class ScopedNullSink {
public:
    ScopedNullSink(const QString& name, int rate, const QString& format = "s16le");
    ~ScopedNullSink();
    ScopedNullSink(const ScopedNullSink&) = delete;
    ScopedNullSink& operator=(const ScopedNullSink&) = delete;

    bool isLoaded() const { return !module_.isEmpty(); }

private:
    QString module_;
    QString previousDefault_;
};

}  // namespace testsupport
