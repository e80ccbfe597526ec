#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A sound server of a test's own, for tests that start it late, kill or restart it. It is of
// the kind that scripts/test runs the suite on (QUORVANE_SOUND_SERVER: pipewire or
// pulseaudio) and has the same shape: a default sink "speakers" and a default source
// "mic.monitor". It keeps one address across restarts.
class SoundServer {
public:
    SoundServer();
    ~SoundServer();

    bool start();
    void kill();
    bool isRunning() const;

    // Where clients reach it, for PULSE_SERVER; this process too after useInThisProcess().
    QString address() const;
    void useInThisProcess() const;

private:
    QString directory() const;

    QTemporaryDir runtime_;
};

// Stops the environment's sound server (SIGSTOP) for as long as the object lives, as a
// server stalls during a Bluetooth profile switch or on a loaded machine. isStalled() is false
// when the server's process is not known (QUORVANE_SOUND_SERVER_PID).
class ServerStall {
public:
    ServerStall();
    ~ServerStall();
    ServerStall(const ServerStall&) = delete;
    ServerStall& operator=(const ServerStall&) = delete;

    bool isStalled() const { return pid_ > 0; }

private:
    long pid_ = 0;
};

// Runs pactl against the server of this process's environment; returns its standard output.
QString pactl(const QStringList& args, int* exitCode = nullptr);

// The default sink's volume as the server counts it, 65536 being 100% (loudest channel),
// each channel's, and its mute.
int sinkVolume(const QString& sink = "@DEFAULT_SINK@");
QList<int> sinkChannelVolumes(const QString& sink = "@DEFAULT_SINK@");
bool sinkMuted(const QString& sink = "@DEFAULT_SINK@");

// True when this process's environment reaches a sound server.
bool serverReachable();

}  // namespace testsupport
