#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include "session/shell.h"
#include "recordingdesktop.h"

using testsupport::RecordingDesktop;

namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value, bool set = true)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        set ? qputenv(name, value) : qunsetenv(name);
    }
    ~ScopedVariable() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

QString lookUpProgram(const QString& file, const QString& directory, int* code) {
    char result[session::MAX_PATH];
    std::fill(std::begin(result), std::end(result), 'x');
    *code = session::FindExecutableA(file.toLocal8Bit().constData(),
                                     directory.toLocal8Bit().constData(), result);
    return QString::fromLocal8Bit(result);
}

}  // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void temporaryPath_data();
    void temporaryPath();
    void temporaryPathNeedsRoomForTheNul();

    void findExecutable_data();
    void findExecutable();

    void quotedFieldCodeGivesTheAddressAsOneArgument();
    void launchFailsForAMissingProgram();
    void launchPassesItsOwnContextOnly();

    void shellExecuteOpensTheSchemeHandlerInTheDirectory();
    void shellExecuteWithoutHandler_data();
    void shellExecuteWithoutHandler();

private:
    RecordingDesktop desktop_;
    QString files_;
    QString htmlHandler_;
};

void TestShell::initTestCase() {
    htmlHandler_ = desktop_.addHandler("browser", "my programs", {"text/html"});
    desktop_.addHandler("viewer", "bin", {"image/png"}, "viewer %u");
    desktop_.addHandler("missing", "bin", {"application/pdf"}, "/nonexistent/missing %u");
    desktop_.addHandler("mail", "my programs", {"x-scheme-handler/mailto"});
    desktop_.addHandler("recorder", "bin", {"text/x-none"}, "recorder %u");
    // Shaped as a snap's entry, and as one that runs its program through a shell.
    desktop_.addHandler("snap", "snap/bin", {"image/gif"},
                        "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/"
                        "browser_browser.desktop {script} %u");
    desktop_.addHandler("shell", "my programs", {}, "sh -c \"recorder %u\"");
    desktop_.useInThisProcess();
    qputenv("PATH", QDir(desktop_.root()).filePath("bin").toLocal8Bit() + ':' + qgetenv("PATH"));
    files_ = QDir(desktop_.root()).filePath("files");
    QDir().mkpath(files_);
    for (const char* name : {"page.html", "picture.png", "paper.pdf", "notes.qvunknown", "clip.gif"}) {
        QFile file(QDir(files_).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestShell::temporaryPath_data() {
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("tmpdir");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("TMPDIR gains a separator") << true << QByteArray("/var/qv") << QByteArray("/var/qv/");
    QTest::newRow("TMPDIR with separator") << true << QByteArray("/var/qv/") << QByteArray("/var/qv/");
    QTest::newRow("empty TMPDIR") << true << QByteArray() << QByteArray("/tmp/");
    QTest::newRow("no TMPDIR") << false << QByteArray() << QByteArray("/tmp/");
}

void TestShell::temporaryPath() {
    QFETCH(bool, set);
    QFETCH(QByteArray, tmpdir);
    QFETCH(QByteArray, expected);
    const ScopedVariable variable("TMPDIR", tmpdir, set);
    char buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), ' ');
    QCOMPARE(session::GetTempPathA(sizeof buffer, buffer), std::uint32_t(expected.size()));
    QCOMPARE(QByteArray(buffer), expected);
}

void TestShell::temporaryPathNeedsRoomForTheNul() {
    const ScopedVariable variable("TMPDIR", "/var/qv");
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), ' ');
    QCOMPARE(session::GetTempPathA(sizeof buffer, buffer), 9u);
    QCOMPARE(QByteArray(buffer, sizeof buffer), QByteArray(8, ' '));
}

void TestShell::findExecutable_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("program");
    const QString inFiles = files_ + '/';
    const QString bin = QDir(desktop_.root()).filePath("bin/viewer");
    QTest::newRow("associated") << "page.html" << inFiles << session::kShellSuccess << htmlHandler_;
    QTest::newRow("directory without separator") << "page.html" << files_ << session::kShellSuccess << htmlHandler_;
    QTest::newRow("absolute file") << inFiles + "page.html" << "/nonexistent" << session::kShellSuccess << htmlHandler_;
    QTest::newRow("program found on PATH") << "picture.png" << inFiles << session::kShellSuccess << bin;
    QTest::newRow("the program that the command starts") << "clip.gif" << inFiles << session::kShellSuccess
                                                          << QStandardPaths::findExecutable("env");
    QTest::newRow("program not on disk") << "paper.pdf" << inFiles << session::SE_ERR_NOASSOC << "";
    QTest::newRow("no association") << "notes.qvunknown" << inFiles << session::SE_ERR_NOASSOC << "";
    QTest::newRow("missing file") << "gone.html" << inFiles << session::SE_ERR_FNF << "";
    QTest::newRow("missing directory") << "page.html" << inFiles + "gone/" << session::SE_ERR_PNF << "";
}

void TestShell::findExecutable() {
    QFETCH(QString, file);
    QFETCH(QString, directory);
    QFETCH(int, code);
    QFETCH(QString, program);
    int result = -1;
    const QString found = lookUpProgram(file, directory, &result);
    QCOMPARE(result, code);
    QCOMPARE(found, program);
}

// A field code inside a quoted argument is quoted for the shell that the entry runs: the
// address, however it is written, reaches the program as one argument and starts nothing.
void TestShell::quotedFieldCodeGivesTheAddressAsOneArgument() {
    const QString folder = QDir(desktop_.root()).filePath("quoted");
    QVERIFY(QDir().mkpath(folder));
    const QString address = "http://www.example.org/a;touch ran;b=$(touch ran)&c=`touch ran`";
    QVERIFY(session::LaunchDesktopEntry(desktop_.entry("shell").toLocal8Bit().constData(),
                                        address.toLocal8Bit().constData(),
                                        folder.toLocal8Bit().constData()));
    QCOMPARE(desktop_.takeRecord("recorder"), (QStringList{folder, address}));
    QVERIFY2(testsupport::hasNoChildren(), "the started program is the caller's child");
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestShell::launchFailsForAMissingProgram() {
    bool announced = false;
    const session::LaunchAnnouncer announcer{[&](const std::string&) {
                                                 announced = true;
                                                 return session::Activation{"id_TIME5", "id_TIME5"};
                                             },
                                             {}};
    QVERIFY(!session::LaunchDesktopEntry(desktop_.entry("missing").toLocal8Bit().constData(), "a",
                                         nullptr, announcer));
    QVERIFY(!session::LaunchDesktopEntry(desktop_.entry("recorder").toLocal8Bit().constData(), "a",
                                         "/nonexistent", announcer));
    QVERIFY(!session::LaunchDesktopEntry("/nonexistent/entry.desktop", "a", nullptr, announcer));
    QVERIFY(!session::LaunchDesktopEntry("", "a", nullptr, announcer));
    QVERIFY(!announced);
    QVERIFY(testsupport::hasNoChildren());
    QVERIFY(!desktop_.hasRecord("recorder"));
}

// A startup id and a token that this process was given are spent; only the launch's own go on,
// announced by the name that the desktop shows.
void TestShell::launchPassesItsOwnContextOnly() {
    const ScopedVariable spentId("DESKTOP_STARTUP_ID", "spent_TIME1");
    const ScopedVariable spentToken("XDG_ACTIVATION_TOKEN", "spent");
    const QByteArray entry = desktop_.entry("recorder").toLocal8Bit();
    std::string name;
    const session::LaunchAnnouncer announcer{[&](const std::string& shown) {
                                                 name = shown;
                                                 return session::Activation{"id_TIME5", "token5"};
                                             },
                                             {}};
    QVERIFY(session::LaunchDesktopEntry(entry.constData(), "a", nullptr, announcer));
    QVERIFY(!desktop_.takeRecord("recorder").isEmpty());
    QCOMPARE(name, std::string("recorder"));
    QCOMPARE(desktop_.startupId("recorder"), QString("id_TIME5"));
    QCOMPARE(desktop_.activationToken("recorder"), QString("token5"));
    QVERIFY(session::LaunchDesktopEntry(entry.constData(), "a", nullptr));
    QVERIFY(!desktop_.takeRecord("recorder").isEmpty());
    QCOMPARE(desktop_.startupId("recorder"), QString());
    QCOMPARE(desktop_.activationToken("recorder"), QString());
}

void TestShell::shellExecuteOpensTheSchemeHandlerInTheDirectory() {
    QCOMPARE(session::ShellExecuteA(0, nullptr, "mailto:someone@example.org", nullptr, "/",
                                    session::SW_SHOWNORMAL),
             session::kShellSuccess);
    QCOMPARE(desktop_.takeRecord("mail"), (QStringList{"/", "mailto:someone@example.org"}));
    QVERIFY(testsupport::hasNoChildren());
}

void TestShell::shellExecuteWithoutHandler_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("scheme without handler") << QByteArray("qvnone:someone");
    QTest::newRow("no scheme") << QByteArray("page.html");
}

void TestShell::shellExecuteWithoutHandler() {
    QFETCH(QByteArray, file);
    QCOMPARE(session::ShellExecuteA(0, nullptr, file.constData(), nullptr, "/", session::SW_SHOWNORMAL),
             session::SE_ERR_NOASSOC);
}

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
