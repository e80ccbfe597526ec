// The installed tree: `cmake --install` of the build into a prefix of the test's own, checked
// with Debian's desktop-file-utils and appstream, and the installed program started.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "programondisplay.h"

namespace {

const QString kId = "org.example.quorvane";

// Runs a program to its end; its exit code, and what it wrote to both channels.
int run(const QString& program, const QStringList& arguments, QString* output = nullptr,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output) *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void requireTool(const char* tool, const char* package) {
    if (QStandardPaths::findExecutable(tool).isEmpty())
        QSKIP(qPrintable(QString("%1 is missing (Debian package %2)").arg(tool, package)));
}

}  // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void desktopEntryAndMetainfoValidate();
    void iconsInTheHicolorTheme();
    void installedProgramShowsItsWindow();
    void withoutDisplayOneSentenceAndCode1_data();
    void withoutDisplayOneSentenceAndCode1();

private:
    QString path(const QString& relative) const { return QDir(prefix_).filePath(relative); }

    QTemporaryDir root_;
    QString prefix_;
};

void TestInstall::initTestCase() {
    QVERIFY(root_.isValid());
    prefix_ = QDir(root_.path()).filePath("usr");
    QString output;
    const int code = run("cmake", {"--install", qEnvironmentVariable("QUORVANE_BINARY_DIR"),
                                   "--prefix", prefix_}, &output);
    QVERIFY2(code == 0, qPrintable(output));
}

void TestInstall::desktopEntryAndMetainfoValidate() {
    const QString entry = path("share/applications/" + kId + ".desktop");
    const QString metainfo = path("share/metainfo/" + kId + ".metainfo.xml");
    QVERIFY(QFile::exists(entry));
    QVERIFY(QFile::exists(metainfo));
    QSettings keys(entry, QSettings::IniFormat);
    keys.beginGroup("Desktop Entry");
    QCOMPARE(keys.value("Exec").toString(), QString("quorvane"));
    QCOMPARE(keys.value("Icon").toString(), kId);
    // The session bus starts the installed program for a desktop that activates it by name.
    QCOMPARE(keys.value("DBusActivatable").toString(), QString("true"));
    QSettings service(path("share/dbus-1/services/" + kId + ".service"), QSettings::IniFormat);
    service.beginGroup("D-BUS Service");
    QCOMPARE(service.value("Name").toString(), kId);
    QVERIFY(QFileInfo(service.value("Exec").toString()).fileName() == "quorvane");

    requireTool("desktop-file-validate", "desktop-file-utils");
    QString output;
    QVERIFY2(run("desktop-file-validate", {entry}, &output) == 0 && output.isEmpty(), qPrintable(output));
    requireTool("appstreamcli", "appstream");
    // The tree as a whole: the metainfo's launchable must name the installed entry.
    QVERIFY2(run("appstreamcli", {"validate-tree", "--pedantic", "--no-net", root_.path()}, &output) == 0,
             qPrintable(output));
}

void TestInstall::iconsInTheHicolorTheme() {
    const QString svg = path("share/icons/hicolor/scalable/apps/" + kId + ".svg");
    QFile scalable(svg);
    QVERIFY(scalable.open(QIODevice::ReadOnly));
    QVERIFY(scalable.readAll().contains("viewBox=\"0 0 32 32\""));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage png(path(QString("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kId)));
        QCOMPARE(png.size(), QSize(size, size));
        QVERIFY(png.hasAlphaChannel());
    }
}

void TestInstall::installedProgramShowsItsWindow() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
    testsupport::ProgramOnDisplay program(path("bin/quorvane"));
    QString failure;
    QVERIFY2(program.start(QProcessEnvironment::systemEnvironment(), QDir::tempPath(), &failure),
             qPrintable(failure));
}

void TestInstall::withoutDisplayOneSentenceAndCode1_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("display");
    QTest::newRow("no DISPLAY") << "" << "";
    QTest::newRow("DISPLAY that nobody serves") << "" << ":239";
    QTest::newRow("xcb asked for") << "xcb" << ":239";
}

void TestInstall::withoutDisplayOneSentenceAndCode1() {
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(name);
    if (!platform.isEmpty()) environment.insert("QT_QPA_PLATFORM", platform);
    if (!display.isEmpty()) environment.insert("DISPLAY", display);
    QString output;
    QCOMPARE(run(path("bin/quorvane"), {}, &output, environment), 1);
    QCOMPARE(output, QString("Quorvane cannot start: no display can be reached.\n"));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
