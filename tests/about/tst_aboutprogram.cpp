// The real program on the test display, driven by xdotool: "About" opens the about window
// once, and its links start the recording browser and mail client of a desktop of its own,
// whose entries are shaped as a Flatpak's and a snap's, and never its HTML editor.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "programondisplay.h"
#include "recordingdesktop.h"

using testsupport::clickAt;
using testsupport::xdotool;

namespace {

const QString kEmailAddress = "quorvane@example.org";
const QString kWebAddress = "http://www.example.org/quorvane";
const QString kMirrorAddress = "http://mirror.example.net/quorvane";

// Centres in pixels from the windows' top left corners.
const QPoint kAboutButton(336, 316);
const QPoint kEmailLink(188, 80);
const QPoint kWebLink(220, 96);
const QPoint kMirrorLink(232, 112);

}  // namespace

class TestAboutProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aboutShowsOneCentredWindow();
    void linksStartTheBrowserAndTheMailClient();
    void altOClosesAndAboutOpensAgain();
    void keyboardAloneOpensTheWebLinkAndEscapeCloses();

private:
    QStringList aboutWindows();
    QString waitForAboutWindow();

    testsupport::RecordingDesktop desktop_;
    testsupport::ProgramOnDisplay program_;
    QString main_;
};

void TestAboutProgram::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
    QVERIFY2(!QStandardPaths::findExecutable("xdotool").isEmpty(), "xdotool is missing");
    desktop_.addHandler("browser", "my browser", {"x-scheme-handler/http"},
                        "{script} run --command=browser --file-forwarding org.example.Browser @@u %u @@");
    desktop_.addHandler("editor", "my editor", {"text/html"});
    desktop_.addHandler("mail", "my mail", {"x-scheme-handler/mailto"},
                        "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/mail_mail.desktop "
                        "{script} %u");
    QDir(desktop_.root()).mkpath("temporary");
    QDir(desktop_.root()).mkpath("program folder");
}

void TestAboutProgram::init() {
    QProcessEnvironment environment = desktop_.environment();
    environment.insert("TMPDIR", QDir(desktop_.root()).filePath("temporary"));
    QString failure;
    QVERIFY2(program_.start(environment, QDir(desktop_.root()).filePath("program folder"), &failure),
             qPrintable(failure));
    main_ = program_.mainWindow();
}

void TestAboutProgram::cleanup() { program_.stop(); }

QStringList TestAboutProgram::aboutWindows() {
    return program_.windowsNamed("^About This Software \\.\\.\\.$");
}

QString TestAboutProgram::waitForAboutWindow() {
    clickAt(main_, kAboutButton);
    QDeadlineTimer deadline(5000);
    while (aboutWindows().isEmpty() && !deadline.hasExpired()) QTest::qWait(100);
    QTest::qWait(200);
    return aboutWindows().value(0);
}

void TestAboutProgram::aboutShowsOneCentredWindow() {
    const QString about = waitForAboutWindow();
    QVERIFY(!about.isEmpty());
    const QRect geometry = testsupport::windowGeometry(about);
    QCOMPARE(geometry.size(), QSize(338, 351));
    const QString screen = xdotool({"getdisplaygeometry"});
    const QPoint screenCentre(screen.section(' ', 0, 0).toInt() / 2,
                              screen.section(' ', 1, 1).toInt() / 2);
    const QPoint offCentre = geometry.topLeft() + QPoint(338 / 2, 351 / 2) - screenCentre;
    QVERIFY2(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1,
             qPrintable(QString("%1,%2").arg(geometry.x()).arg(geometry.y())));

    clickAt(main_, kAboutButton);
    QTest::qWait(500);
    QCOMPARE(aboutWindows(), QStringList{about});
}

void TestAboutProgram::linksStartTheBrowserAndTheMailClient() {
    const QString about = waitForAboutWindow();
    QVERIFY(!about.isEmpty());
    const QString programFolder = QDir(desktop_.root()).filePath("program folder");

    const auto flatpak = [&](const QString& address) {
        return QStringList{programFolder, "run", "--command=browser", "--file-forwarding",
                           "org.example.Browser", "@@u", address, "@@"};
    };
    // The click's time goes with the launch, so the window manager may raise the browser.
    const QRegularExpression startupId("^quorvane-\\d+-.+-\\d+_TIME[1-9]\\d*$");
    clickAt(about, kWebLink);
    QCOMPARE(desktop_.takeRecord("browser"), flatpak(kWebAddress));
    QVERIFY2(startupId.match(desktop_.startupId("browser")).hasMatch(), qPrintable(desktop_.startupId("browser")));
    QCOMPARE(desktop_.activationToken("browser"), desktop_.startupId("browser"));
    clickAt(about, kMirrorLink);
    QCOMPARE(desktop_.takeRecord("browser"), flatpak(kMirrorAddress));
    clickAt(about, kEmailLink);
    QCOMPARE(desktop_.takeRecord("mail"), (QStringList{"/", "mailto:" + kEmailAddress}));
    QVERIFY(!desktop_.hasRecord("editor"));
    QVERIFY2(startupId.match(desktop_.startupId("mail")).hasMatch(), qPrintable(desktop_.startupId("mail")));

    QCOMPARE(QDir(QDir(desktop_.root()).filePath("temporary")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(program_.process().state(), QProcess::Running);
}

void TestAboutProgram::altOClosesAndAboutOpensAgain() {
    const QString about = waitForAboutWindow();
    QVERIFY(!about.isEmpty());
    xdotool({"windowfocus", "--sync", about});
    xdotool({"key", "alt+o"});
    QTRY_VERIFY_WITH_TIMEOUT(aboutWindows().isEmpty(), 3000);
    QCOMPARE(program_.process().state(), QProcess::Running);
    QVERIFY(!waitForAboutWindow().isEmpty());
}

// Keys alone: Tab from "Stop" to "About" and Space open the window, which starts on "&Ok";
// two Tabs reach the web link, Enter starts the browser, Escape closes the window. The test
// display has no window manager, so focusing the new window stands in for one.
void TestAboutProgram::keyboardAloneOpensTheWebLinkAndEscapeCloses() {
    xdotool({"windowfocus", "--sync", main_});
    for (int tab = 0; tab < 6; ++tab) xdotool({"key", "Tab"});
    xdotool({"key", "space"});
    QTRY_COMPARE_WITH_TIMEOUT(aboutWindows().size(), 1, 5000);
    xdotool({"windowfocus", "--sync", aboutWindows().value(0)});
    QTest::qWait(300);
    xdotool({"key", "Tab", "Tab", "Return"});
    QCOMPARE(desktop_.takeRecord("browser").mid(1),
             (QStringList{"run", "--command=browser", "--file-forwarding", "org.example.Browser", "@@u",
                          kWebAddress, "@@"}));
    xdotool({"key", "Escape"});
    QTRY_VERIFY_WITH_TIMEOUT(aboutWindows().isEmpty(), 3000);
    QCOMPARE(program_.process().state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestAboutProgram)
#include "tst_aboutprogram.moc"
