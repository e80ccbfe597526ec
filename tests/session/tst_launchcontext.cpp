// The real program on native Wayland: a headless sway, run as nobody where the test runs as
// root, and a private session bus. A launcher's later launch of `quorvane`, and its D-Bus
// activation of the running program, bring the window forward with the launcher's
// xdg-activation token. sway gives the focus only for a token it handed out, so the focus
// moving back shows that the token went along. Skipped where sway, Qt's
// Wayland plugin or the token tool is missing or sway cannot start.
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

QString program() { return qEnvironmentVariable("QUORVANE_BINARY_DIR") + "/app/quorvane"; }

void end(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (process.waitForFinished(5000)) return;
    process.kill();
    process.waitForFinished(5000);
}

// Whether the window of the process `pid` has the keyboard focus, in a tree of sway's nodes.
bool focused(const QJsonObject& node, qint64 pid) {
    if (node.value("pid").toInteger() == pid) return node.value("focused").toBool();
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(children).toArray())
            if (focused(child.toObject(), pid)) return true;
    return false;
}

// Exit code of a process that is given up to 15 s to finish; -1 where it did not end by itself.
int exitCode(QProcess& process) {
    if (!process.waitForFinished(15000)) {
        end(process);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Output of a process that is given up to 15 s to finish; none where it failed.
std::optional<QString> outputOf(QProcess& process) {
    if (exitCode(process) != 0) return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}  // namespace

class TestLaunchContext : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void aLauncherBringsTheWindowForward();

private:
    // Starts sway on the headless backend, as nobody when this runs as root; false where it
    // cannot run here.
    bool startCompositor(QString* why);
    bool startSessionBus();
    std::optional<QString> swaymsg(const QStringList& arguments);
    // A token that sway hands a client asking for one, as a launcher does.
    std::optional<QString> launcherToken();
    bool windowFocused(qint64 pid);
    // The program's environment: native Wayland on the test's sway, the private session bus.
    QProcessEnvironment onWayland() const;
    // A second launch of the program, as a launcher starts it with `token`; its exit code.
    int launch(const QString& token);
    // The launcher's D-Bus activation of the running program with `token`; gdbus's exit code.
    int activateOverBus(const QString& token);

    QTemporaryDir compositorRuntime_;
    QTemporaryDir programRuntime_;
    QProcess compositor_;
    QProcess bus_;
    QString busAddress_;
    QString waylandSocket_;
    QString swaySocket_;
};

void TestLaunchContext::initTestCase() {
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    if (!QFile::exists(plugins + "/platforms/libqwayland-generic.so"))
        QSKIP("Qt's Wayland plugin (qt6-wayland) is not installed");
    if (qEnvironmentVariableIsEmpty("QUORVANE_ACTIVATION_TOKEN_TOOL"))
        QSKIP("the activation-token tool was not built (libwayland-dev, wayland-protocols)");
    for (const char* tool : {"sway", "swaymsg", "dbus-daemon", "gdbus"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(QString(tool) + " is not installed"));
    }
    QString why;
    if (!startCompositor(&why)) QSKIP(qPrintable("sway cannot run here: " + why));
    QVERIFY2(startSessionBus(), "dbus-daemon gave no address");
}

void TestLaunchContext::cleanupTestCase() {
    end(compositor_);
    end(bus_);
}

bool TestLaunchContext::startCompositor(QString* why) {
    const QString runtime = compositorRuntime_.path();
    QFile config(runtime + "/config");
    if (!config.open(QIODevice::WriteOnly)) {
        *why = "cannot write its configuration";
        return false;
    }
    // Activation by a valid token gives the focus, as desktops do, rather than marking the
    // window urgent.
    config.write("xwayland disable\nfocus_on_window_activation focus\n");
    config.close();
    QString command = "sway";
    QStringList arguments{"-c", config.fileName()};
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || QStandardPaths::findExecutable("setpriv").isEmpty()) {
            *why = "no user nobody or no setpriv to run sway as";
            return false;
        }
        for (const QString& path : {runtime, config.fileName()}) {
            if (chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
                *why = "cannot give nobody its runtime folder";
                return false;
            }
        }
        arguments = QStringList{"--reuid=" + QString::number(nobody->pw_uid),
                                "--regid=" + QString::number(nobody->pw_gid), "--clear-groups", command}
                    + arguments;
        command = "setpriv";
    }
    QProcessEnvironment environment;
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    environment.insert("HOME", runtime);
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("WLR_BACKENDS", "headless");
    environment.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    environment.insert("WLR_RENDERER", "pixman");
    compositor_.setProcessEnvironment(environment);
    compositor_.setProcessChannelMode(QProcess::MergedChannels);
    compositor_.start(command, arguments);
    const QDir folder(runtime);
    for (int waited = 0; waited < 200 && compositor_.state() != QProcess::NotRunning; ++waited) {
        const QStringList wayland = folder.entryList({"wayland-?"}, QDir::AllEntries | QDir::System);
        const QStringList ipc = folder.entryList({"sway-ipc.*.sock"}, QDir::AllEntries | QDir::System);
        if (!wayland.isEmpty() && !ipc.isEmpty()) {
            waylandSocket_ = folder.filePath(wayland.first());
            swaySocket_ = folder.filePath(ipc.first());
            if (swaymsg({"-t", "get_version"})) return true;
        }
        compositor_.waitForFinished(100);
    }
    end(compositor_);
    *why = QString::fromLocal8Bit(compositor_.readAll()).trimmed().section('\n', -3);
    return false;
}

bool TestLaunchContext::startSessionBus() {
    bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    for (int waited = 0; waited < 100 && !bus_.canReadLine(); ++waited) bus_.waitForReadyRead(100);
    busAddress_ = QString::fromUtf8(bus_.readLine()).trimmed();
    return !busAddress_.isEmpty();
}

std::optional<QString> TestLaunchContext::swaymsg(const QStringList& arguments) {
    QProcess process;
    process.start("swaymsg", QStringList{"-s", swaySocket_} + arguments);
    return outputOf(process);
}

std::optional<QString> TestLaunchContext::launcherToken() {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WAYLAND_DISPLAY", waylandSocket_);
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("QUORVANE_ACTIVATION_TOKEN_TOOL"));
    return outputOf(process);
}

bool TestLaunchContext::windowFocused(qint64 pid) {
    const std::optional<QString> tree = swaymsg({"-t", "get_tree"});
    return tree && focused(QJsonDocument::fromJson(tree->toUtf8()).object(), pid);
}

QProcessEnvironment TestLaunchContext::onWayland() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("DESKTOP_STARTUP_ID");
    environment.remove("XDG_ACTIVATION_TOKEN");
    environment.insert("QT_QPA_PLATFORM", "wayland");
    environment.insert("WAYLAND_DISPLAY", waylandSocket_);
    environment.insert("XDG_RUNTIME_DIR", programRuntime_.path());
    environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    return environment;
}

int TestLaunchContext::launch(const QString& token) {
    QProcess process;
    QProcessEnvironment environment = onWayland();
    environment.insert("XDG_ACTIVATION_TOKEN", token);
    process.setProcessEnvironment(environment);
    process.start(program());
    return exitCode(process);
}

int TestLaunchContext::activateOverBus(const QString& token) {
    QProcess process;
    process.setProcessEnvironment(onWayland());
    process.start("gdbus", {"call", "--session", "--dest", "org.example.quorvane", "--object-path",
                            "/org/example/quorvane", "--method", "org.freedesktop.Application.Activate",
                            "{'activation-token': <'" + token + "'>}"});
    return exitCode(process);
}

void TestLaunchContext::aLauncherBringsTheWindowForward() {
    QProcess running;
    running.setProcessEnvironment(onWayland());
    running.start(program());
    QVERIFY(running.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(windowFocused(running.processId()), 20000);

    // The user goes to another workspace; a launcher brings the window back from there.
    for (const bool overBus : {false, true}) {
        QVERIFY(swaymsg({"workspace", "elsewhere"}));
        QTRY_VERIFY_WITH_TIMEOUT(!windowFocused(running.processId()), 10000);
        const std::optional<QString> token = launcherToken();
        QVERIFY2(token && !token->isEmpty(), "sway handed no activation token");
        QCOMPARE(overBus ? activateOverBus(*token) : launch(*token), 0);
        QTRY_VERIFY2_WITH_TIMEOUT(windowFocused(running.processId()),
                                  overBus ? "Activate over D-Bus" : "a second launch", 10000);
    }
    QCOMPARE(running.state(), QProcess::Running);
    end(running);
}

QTEST_GUILESS_MAIN(TestLaunchContext)
#include "tst_launchcontext.moc"
