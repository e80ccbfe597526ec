#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QTest>

#include "platform/shell.h"
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
    char result[platform::MAX_PATH];
    std::fill(std::begin(result), std::end(result), 'x');
    *code = platform::FindExecutableA(file.toLocal8Bit().constData(),
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

    void launchHandsTheWordsAsTheEntrySays_data();
    void launchHandsTheWordsAsTheEntrySays();
    void launchFailsForAMissingProgram();
    void launchPassesNoOtherDescriptors();
    void launchPassesItsOwnContextOnly();

    void shellExecuteOpensTheSchemeHandlerInTheDirectory();
    void shellExecuteWithoutHandler_data();
    void shellExecuteWithoutHandler();

private:
    RecordingDesktop desktop_;
    QString files_;
    QString htmlHandler_;
    QString pngHandler_;
    QString recorder_;
    QString snap_;
    QString flatpak_;
};

void TestShell::initTestCase() {
    htmlHandler_ = desktop_.addHandler("browser", "my programs", {"text/html"});
    pngHandler_ = desktop_.addHandler("viewer", "bin", {"image/png"}, "viewer %u");
    desktop_.addHandler("missing", "bin", {"application/pdf"}, "/nonexistent/missing %u");
    desktop_.addHandler("mail", "my programs", {"x-scheme-handler/mailto"});
    recorder_ = desktop_.addHandler("recorder", "my programs", {"text/x-none"});
    // Entries shaped as a snap's and a Flatpak's, and two with other field codes.
    snap_ = desktop_.addHandler("snap", "snap/bin", {"image/gif"},
                                "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/"
                                "browser_browser.desktop {script} %u");
    flatpak_ = desktop_.addHandler("flatpak", "flatpak bin", {"text/csv"},
                                   "{script} run --branch=stable --arch=x86_64 --command=browser "
                                   "--file-forwarding org.example.Browser @@u %U @@");
    desktop_.addHandler("plain", "my programs", {}, "{script} --new-window");
    desktop_.addHandler("codes", "my programs", {}, "{script} --name=%c %k 100%% %d %f");
    desktop_.useInThisProcess();
    qputenv("PATH", QDir(desktop_.root()).filePath("bin").toLocal8Bit() + ':' + qgetenv("PATH"));
    files_ = QDir(desktop_.root()).filePath("files");
    QDir().mkpath(files_);
    for (const char* name : {"page.html", "picture.png", "paper.pdf", "notes.qvunknown", "clip.gif", "sheet.csv"}) {
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
    QCOMPARE(platform::GetTempPathA(sizeof buffer, buffer), std::uint32_t(expected.size()));
    QCOMPARE(QByteArray(buffer), expected);
}

void TestShell::temporaryPathNeedsRoomForTheNul() {
    const ScopedVariable variable("TMPDIR", "/var/qv");
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), ' ');
    QCOMPARE(platform::GetTempPathA(sizeof buffer, buffer), 9u);
    QCOMPARE(QByteArray(buffer, sizeof buffer), QByteArray(8, ' '));
}

void TestShell::findExecutable_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("program");
    const QString inFiles = files_ + '/';
    const QString bin = QDir(desktop_.root()).filePath("bin/viewer");
    QTest::newRow("associated") << "page.html" << inFiles << platform::kShellSuccess << htmlHandler_;
    QTest::newRow("directory without separator") << "page.html" << files_ << platform::kShellSuccess << htmlHandler_;
    QTest::newRow("absolute file") << inFiles + "page.html" << "/nonexistent" << platform::kShellSuccess << htmlHandler_;
    QTest::newRow("program found on PATH") << "picture.png" << inFiles << platform::kShellSuccess << bin;
    QTest::newRow("snap-shaped entry: the program after env") << "clip.gif" << inFiles << platform::kShellSuccess << snap_;
    QTest::newRow("Flatpak-shaped entry") << "sheet.csv" << inFiles << platform::kShellSuccess << flatpak_;
    QTest::newRow("program not on disk") << "paper.pdf" << inFiles << platform::SE_ERR_NOASSOC << "";
    QTest::newRow("no association") << "notes.qvunknown" << inFiles << platform::SE_ERR_NOASSOC << "";
    QTest::newRow("missing file") << "gone.html" << inFiles << platform::SE_ERR_FNF << "";
    QTest::newRow("missing directory") << "page.html" << inFiles + "gone/" << platform::SE_ERR_PNF << "";
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

void TestShell::launchHandsTheWordsAsTheEntrySays_data() {
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("one word") << "recorder" << " abc" << "" << QStringList{"abc"};
    QTest::newRow("several blanks, no quoting") << "recorder" << "  a \"b c\"  d " << "" << QStringList{"a", "\"b", "c\"", "d"};
    QTest::newRow("empty") << "recorder" << "" << "" << QStringList{};
    QTest::newRow("in a directory") << "recorder" << " x" << "/" << QStringList{"x"};
    QTest::newRow("snap-shaped entry") << "snap" << " http://a" << "" << QStringList{"http://a"};
    QTest::newRow("Flatpak-shaped entry") << "flatpak" << " http://a" << ""
        << QStringList{"run", "--branch=stable", "--arch=x86_64", "--command=browser",
                       "--file-forwarding", "org.example.Browser", "@@u", "http://a", "@@"};
    QTest::newRow("no field code") << "plain" << " http://a" << "" << QStringList{"--new-window", "http://a"};
    QTest::newRow("other field codes") << "codes" << " http://a" << ""
        << QStringList{"--name=codes", desktop_.entry("codes"), "100%", "http://a"};
}

// The recorder's path holds a blank; it is the program, never part of the arguments.
void TestShell::launchHandsTheWordsAsTheEntrySays() {
    QFETCH(QString, handler);
    QFETCH(QString, commandLine);
    QFETCH(QString, directory);
    QFETCH(QStringList, arguments);
    platform::ProcessInformation process;
    QVERIFY(platform::LaunchDesktopEntry(desktop_.entry(handler).toLocal8Bit().constData(),
                                         commandLine.toLocal8Bit().constData(),
                                         directory.isEmpty() ? nullptr : directory.toLocal8Bit().constData(),
                                         {}, &process));
    QVERIFY(process.processId > 0);
    QVERIFY2(testsupport::hasNoChildren(), "the started program is the caller's child");
    const QStringList record = desktop_.takeRecord(handler);
    QVERIFY(!record.isEmpty());
    QCOMPARE(record.first(), directory.isEmpty() ? QDir::currentPath() : directory);
    QCOMPARE(record.mid(1), arguments);
}

void TestShell::launchFailsForAMissingProgram() {
    platform::ProcessInformation process;
    process.processId = 77;
    QVERIFY(!platform::LaunchDesktopEntry(desktop_.entry("missing").toLocal8Bit().constData(), " a",
                                          nullptr, {}, &process));
    QCOMPARE(process.processId, 0L);
    QVERIFY(!platform::LaunchDesktopEntry(desktop_.entry("recorder").toLocal8Bit().constData(), " a",
                                          "/nonexistent", {}, &process));
    QVERIFY(!platform::LaunchDesktopEntry("/nonexistent/entry.desktop", " a", nullptr, {}, &process));
    QVERIFY(!platform::LaunchDesktopEntry("", " a", nullptr, {}, &process));
    QVERIFY(testsupport::hasNoChildren());
    QVERIFY(!desktop_.hasRecord("recorder"));
}

void TestShell::launchPassesNoOtherDescriptors() {
    const QString listing = QDir(desktop_.root()).filePath("descriptors");
    const QString script = desktop_.addScript("list descriptors", "ls /proc/$$/fd > \"$1.part\"; mv \"$1.part\" \"$1\"\n");
    const QString entry = QDir(desktop_.root()).filePath("descriptors.desktop");
    QFile entryFile(entry);
    QVERIFY(entryFile.open(QIODevice::WriteOnly));
    entryFile.write(("[Desktop Entry]\nType=Application\nName=list\nExec=\"" + script + "\" %f\n").toUtf8());
    entryFile.close();
    const int open = ::open("/dev/null", O_RDONLY);  // inheritable
    QVERIFY(dup2(open, 200) == 200);
    ::close(open);
    QVERIFY(platform::LaunchDesktopEntry(entry.toLocal8Bit().constData(), (" " + listing).toLocal8Bit().constData(),
                                         nullptr, {}, nullptr));
    ::close(200);
    QTRY_VERIFY(QFile::exists(listing));
    QFile file(listing);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList descriptors = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!descriptors.contains("200"), qPrintable(descriptors.join(' ')));
    QVERIFY(descriptors.contains("0") && descriptors.contains("1") && descriptors.contains("2"));
}

// A startup id that this process was given is spent; only the launch's own goes on.
void TestShell::launchPassesItsOwnContextOnly() {
    const ScopedVariable spent("DESKTOP_STARTUP_ID", "spent_TIME1");
    const QByteArray entry = desktop_.entry("recorder").toLocal8Bit();
    QVERIFY(platform::LaunchDesktopEntry(entry.constData(), " a", nullptr, {"id_TIME5", "id_TIME5"}, nullptr));
    QVERIFY(!desktop_.takeRecord("recorder").isEmpty());
    QCOMPARE(desktop_.startupId("recorder"), QString("id_TIME5"));
    QVERIFY(platform::LaunchDesktopEntry(entry.constData(), " a", nullptr, {}, nullptr));
    QVERIFY(!desktop_.takeRecord("recorder").isEmpty());
    QCOMPARE(desktop_.startupId("recorder"), QString());
}

void TestShell::shellExecuteOpensTheSchemeHandlerInTheDirectory() {
    QCOMPARE(platform::ShellExecuteA(0, nullptr, "mailto:someone@example.org", nullptr, "/",
                                     platform::SW_SHOWNORMAL),
             platform::kShellSuccess);
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
    QCOMPARE(platform::ShellExecuteA(0, nullptr, file.constData(), nullptr, "/", platform::SW_SHOWNORMAL),
             platform::SE_ERR_NOASSOC);
}

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
