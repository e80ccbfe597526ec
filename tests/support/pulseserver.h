#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A sound server of a test's own, for tests that stop, kill or restart it. It has the same
// shape as the one scripts/test starts: a null sink "speakers" and a null source "mic".
class PulseServer {
public:
    PulseServer();
    ~PulseServer();

    bool start(const QStringList& extraModules = {});
    void kill();
    bool isRunning() const;

    // Points this process (and the pactl runs below) at this server.
    void useInThisProcess() const;
    QString socketPath() const;

private:
    QTemporaryDir runtime_;
};

// Runs pactl against the server of this process's environment; returns its standard output.
QString pactl(const QStringList& args, int* exitCode = nullptr);

// The default sink's volume as the server counts it, 65536 being 100% (loudest channel),
// and its mute.
int sinkVolume(const QString& sink = "@DEFAULT_SINK@");
bool sinkMuted(const QString& sink = "@DEFAULT_SINK@");

// True when this process's environment reaches a sound server.
bool serverReachable();

}  // namespace testsupport
