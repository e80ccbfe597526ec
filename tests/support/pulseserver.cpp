#include "pulseserver.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <signal.h>

namespace testsupport {

namespace {

bool runSoundServerScript(const QStringList& arguments) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    script.start(qEnvironmentVariable("QUORVANE_SOURCE_DIR") + "/scripts/sound-server", arguments);
    return script.waitForFinished(30000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

}  // namespace

SoundServer::SoundServer() = default;

SoundServer::~SoundServer() { kill(); }

QString SoundServer::directory() const { return runtime_.path() + "/server"; }

QString SoundServer::address() const { return "unix:" + directory() + "/run/pulse/native"; }

bool SoundServer::start() {
    const QString kind = qEnvironmentVariable("QUORVANE_SOUND_SERVER", "pulseaudio");
    return runSoundServerScript({"start", kind, directory()});
}

bool SoundServer::isRunning() const {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", address());
    p.setProcessEnvironment(env);
    p.start("pactl", {"info"});
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void SoundServer::kill() { runSoundServerScript({"stop", directory()}); }

void SoundServer::useInThisProcess() const { qputenv("PULSE_SERVER", address().toLocal8Bit()); }

ServerStall::ServerStall() : pid_(qEnvironmentVariable("QUORVANE_SOUND_SERVER_PID").toLong()) {
    if (pid_ > 0 && ::kill(pid_t(pid_), SIGSTOP) != 0) pid_ = 0;
}

ServerStall::~ServerStall() {
    if (pid_ > 0) ::kill(pid_t(pid_), SIGCONT);
}

QString pactl(const QStringList& args, int* exitCode) {
    QProcess p;
    p.start("pactl", args);
    p.waitForFinished(10000);
    if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QList<int> sinkChannelVolumes(const QString& sink) {
    // "Volume: front-left: 32768 /  50% / -18.06 dB,   front-right: ..."
    const QString out = pactl({"get-sink-volume", sink});
    static const QRegularExpression raw(R"(:\s*(\d+)\s*/)");
    QList<int> volumes;
    for (auto it = raw.globalMatch(out.section('\n', 0, 0)); it.hasNext();)
        volumes << it.next().captured(1).toInt();
    return volumes;
}

int sinkVolume(const QString& sink) {
    const QList<int> volumes = sinkChannelVolumes(sink);
    return volumes.isEmpty() ? -1 : *std::max_element(volumes.begin(), volumes.end());
}

bool sinkMuted(const QString& sink) {
    return pactl({"get-sink-mute", sink}).contains("yes");
}

bool serverReachable() {
    int code = -1;
    pactl({"info"}, &code);
    return code == 0;
}

}  // namespace testsupport
