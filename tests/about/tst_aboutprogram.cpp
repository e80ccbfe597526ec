// The real program on the test display, driven by xdotool: "About" opens the about window
// once, and its links start the recording browser and mail client of a desktop of its own.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "recordingdesktop.h"

namespace {

const QString kEmailAddress = "quorvane@example.org";
const QString kWebAddress = "http://www.example.org/quorvane";
const QString kMirrorAddress = "http://mirror.example.net/quorvane";

// Centres in pixels from the windows' top left corners.
const QPoint kAboutButton(336, 316);
const QPoint kEmailLink(188, 80);
const QPoint kWebLink(220, 96);
const QPoint kMirrorLink(232, 112);

QString xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(5000)) tool.kill();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

void clickAt(const QString& window, QPoint at) {
    xdotool({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
             "click", "1"});
}

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

private:
    QStringList aboutWindows() const;
    QString waitForAboutWindow();

    testsupport::RecordingDesktop desktop_;
    QProcess program_;
    QString main_;
};

void TestAboutProgram::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
    QVERIFY2(!QStandardPaths::findExecutable("xdotool").isEmpty(), "xdotool is missing");
    desktop_.addHandler("browser", "my browser", {"text/html"});
    desktop_.addHandler("mail", "my mail", {"x-scheme-handler/mailto"});
    QDir(desktop_.root()).mkpath("temporary");
    QDir(desktop_.root()).mkpath("program folder");
}

void TestAboutProgram::init() {
    QProcessEnvironment environment = desktop_.environment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("TMPDIR", QDir(desktop_.root()).filePath("temporary"));
    program_.setProcessEnvironment(environment);
    program_.setWorkingDirectory(QDir(desktop_.root()).filePath("program folder"));
    program_.start(qEnvironmentVariable("QUORVANE_BINARY_DIR") + "/app/quorvane", {});
    QVERIFY(program_.waitForStarted(5000));
    const QString pid = QString::number(program_.processId());
    QTRY_VERIFY_WITH_TIMEOUT(
        !(main_ = xdotool({"search", "--all", "--onlyvisible", "--pid", pid, "--name", "^Quorvane  \\(version"})).isEmpty(),
        10000);
    main_ = main_.section('\n', 0, 0);
    QTest::qWait(300);
}

void TestAboutProgram::cleanup() {
    if (program_.state() != QProcess::NotRunning) {
        program_.kill();
        program_.waitForFinished(2000);
    }
}

QStringList TestAboutProgram::aboutWindows() const {
    return xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(program_.processId()),
                    "--name", "^About This Software \\.\\.\\.$"})
        .split('\n', Qt::SkipEmptyParts);
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
    const QString geometry = xdotool({"getwindowgeometry", about});
    const QRegularExpressionMatch match =
        QRegularExpression(R"(Position: (\d+),(\d+).*Geometry: (\d+)x(\d+))",
                           QRegularExpression::DotMatchesEverythingOption)
            .match(geometry);
    QVERIFY2(match.hasMatch(), qPrintable(geometry));
    QCOMPARE(match.captured(3).toInt(), 338);
    QCOMPARE(match.captured(4).toInt(), 351);
    const QString screen = xdotool({"getdisplaygeometry"});
    const int centreX = match.captured(1).toInt() + 338 / 2;
    const int centreY = match.captured(2).toInt() + 351 / 2;
    QVERIFY2(qAbs(centreX - screen.section(' ', 0, 0).toInt() / 2) <= 1, qPrintable(geometry));
    QVERIFY2(qAbs(centreY - screen.section(' ', 1, 1).toInt() / 2) <= 1, qPrintable(geometry));

    clickAt(main_, kAboutButton);
    QTest::qWait(500);
    QCOMPARE(aboutWindows(), QStringList{about});
}

void TestAboutProgram::linksStartTheBrowserAndTheMailClient() {
    const QString about = waitForAboutWindow();
    QVERIFY(!about.isEmpty());
    const QString programFolder = QDir(desktop_.root()).filePath("program folder");

    clickAt(about, kWebLink);
    QCOMPARE(desktop_.takeRecord("browser"), (QStringList{programFolder, kWebAddress}));
    clickAt(about, kMirrorLink);
    QCOMPARE(desktop_.takeRecord("browser"), (QStringList{programFolder, kMirrorAddress}));
    clickAt(about, kEmailLink);
    QCOMPARE(desktop_.takeRecord("mail"), (QStringList{"/", "mailto:" + kEmailAddress}));

    QCOMPARE(QDir(QDir(desktop_.root()).filePath("temporary")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(program_.state(), QProcess::Running);
}

void TestAboutProgram::altOClosesAndAboutOpensAgain() {
    const QString about = waitForAboutWindow();
    QVERIFY(!about.isEmpty());
    xdotool({"windowfocus", "--sync", about});
    xdotool({"key", "Escape"});
    QTest::qWait(300);
    QCOMPARE(aboutWindows().size(), 1);
    xdotool({"key", "alt+o"});
    QTRY_VERIFY_WITH_TIMEOUT(aboutWindows().isEmpty(), 3000);
    QCOMPARE(program_.state(), QProcess::Running);
    QVERIFY(!waitForAboutWindow().isEmpty());
}

QTEST_GUILESS_MAIN(TestAboutProgram)
#include "tst_aboutprogram.moc"
