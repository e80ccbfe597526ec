#include "pulseserver.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace testsupport {

PulseServer::PulseServer() = default;

PulseServer::~PulseServer() { kill(); }

QString PulseServer::socketPath() const { return runtime_.path() + "/pulse/native"; }

bool PulseServer::start(const QStringList& extraModules) {
    QStringList args{"-D", "--exit-idle-time=-1", "-n",
                     "--load=module-null-sink sink_name=speakers",
                     "--load=module-native-protocol-unix",
                     "--load=module-null-source source_name=mic"};
    for (const QString& m : extraModules) args << "--load=" + m;
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime_.path());
    env.insert("HOME", runtime_.path());
    env.remove("PULSE_SERVER");
    p.setProcessEnvironment(env);
    p.start("pulseaudio", args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0) return false;
    for (int i = 0; i < 100 && !isRunning(); ++i) QThread::msleep(50);
    return isRunning();
}

bool PulseServer::isRunning() const {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", "unix:" + socketPath());
    p.setProcessEnvironment(env);
    p.start("pactl", {"info"});
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void PulseServer::kill() {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime_.path());
    env.insert("HOME", runtime_.path());
    p.setProcessEnvironment(env);
    p.start("pulseaudio", {"--kill"});
    p.waitForFinished(5000);
    for (int i = 0; i < 100 && isRunning(); ++i) QThread::msleep(50);
}

void PulseServer::useInThisProcess() const {
    qputenv("PULSE_SERVER", ("unix:" + socketPath()).toLocal8Bit());
}

QString pactl(const QStringList& args, int* exitCode) {
    QProcess p;
    p.start("pactl", args);
    p.waitForFinished(10000);
    if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

int sinkVolume(const QString& sink) {
    // "Volume: front-left: 32768 /  50% / -18.06 dB,   front-right: ..."
    const QString out = pactl({"get-sink-volume", sink});
    static const QRegularExpression raw(R"(:\s*(\d+)\s*/)");
    int loudest = -1;
    for (auto it = raw.globalMatch(out); it.hasNext();)
        loudest = std::max(loudest, it.next().captured(1).toInt());
    return loudest;
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
