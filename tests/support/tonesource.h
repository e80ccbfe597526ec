#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryFile>

namespace testsupport {

// A source that hears a steady tone, as a microphone hears someone speak: the monitor of a
// null sink of its own that paplay feeds with a sine. It works on PipeWire, which has no sine
// source module, as on PulseAudio. The sink goes with the object.
class ToneSource {
public:
    explicit ToneSource(const QString& name = "tone", int frequency = 440);
    ~ToneSource();
    ToneSource(const ToneSource&) = delete;
    ToneSource& operator=(const ToneSource&) = delete;

    bool isReady() const { return player_.state() == QProcess::Running; }
    QString sourceName() const { return name_ + ".monitor"; }

private:
    QString name_;
    QString module_;
    QTemporaryFile sine_;
    QProcess player_;
};

}  // namespace testsupport
