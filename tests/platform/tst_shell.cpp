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

    void createProcessSplitsTheCommandLineAtBlanks_data();
    void createProcessSplitsTheCommandLineAtBlanks();
    void createProcessFailsForAMissingProgram();
    void createProcessPassesNoOtherDescriptors();

    void shellExecuteOpensTheSchemeHandlerInTheDirectory();
    void shellExecuteWithoutHandler_data();
    void shellExecuteWithoutHandler();

private:
    RecordingDesktop desktop_;
    QString files_;
    QString htmlHandler_;
    QString pngHandler_;
    QString recorder_;
};

void TestShell::initTestCase() {
    htmlHandler_ = desktop_.addHandler("browser", "my programs", {"text/html"});
    pngHandler_ = desktop_.addHandler("viewer", "bin", {"image/png"}, "viewer");
    desktop_.addHandler("missing", "bin", {"application/pdf"}, "/nonexistent/missing");
    desktop_.addHandler("mail", "my programs", {"x-scheme-handler/mailto"});
    recorder_ = desktop_.addHandler("recorder", "my programs", {"text/x-none"});
    desktop_.useInThisProcess();
    qputenv("PATH", QDir(desktop_.root()).filePath("bin").toLocal8Bit() + ':' + qgetenv("PATH"));
    files_ = QDir(desktop_.root()).filePath("files");
    QDir().mkpath(files_);
    for (const char* name : {"page.html", "picture.png", "paper.pdf", "notes.qvunknown"}) {
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

void TestShell::createProcessSplitsTheCommandLineAtBlanks_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("one word") << " abc" << "" << QStringList{"abc"};
    QTest::newRow("several blanks, no quoting") << "  a \"b c\"  d " << "" << QStringList{"a", "\"b", "c\"", "d"};
    QTest::newRow("empty") << "" << "" << QStringList{};
    QTest::newRow("in a directory") << " x" << "/" << QStringList{"x"};
}

// The program path holds a blank; it is the program, never part of the arguments.
void TestShell::createProcessSplitsTheCommandLineAtBlanks() {
    QFETCH(QString, commandLine);
    QFETCH(QString, directory);
    QFETCH(QStringList, arguments);
    platform::ProcessInformation process;
    QVERIFY(platform::CreateProcessA(recorder_.toLocal8Bit().constData(),
                                     commandLine.toLocal8Bit().constData(),
                                     directory.isEmpty() ? nullptr : directory.toLocal8Bit().constData(),
                                     &process));
    QVERIFY(process.processId > 0);
    QVERIFY2(testsupport::hasNoChildren(), "the started program is the caller's child");
    const QStringList record = desktop_.takeRecord("recorder");
    QVERIFY(!record.isEmpty());
    QCOMPARE(record.first(), directory.isEmpty() ? QDir::currentPath() : directory);
    QCOMPARE(record.mid(1), arguments);
}

void TestShell::createProcessFailsForAMissingProgram() {
    platform::ProcessInformation process;
    process.processId = 77;
    QVERIFY(!platform::CreateProcessA("/nonexistent/program", " a", nullptr, &process));
    QCOMPARE(process.processId, 0L);
    QVERIFY(!platform::CreateProcessA(recorder_.toLocal8Bit().constData(), " a", "/nonexistent", &process));
    QVERIFY(!platform::CreateProcessA(nullptr, "", nullptr, &process));
    QVERIFY(testsupport::hasNoChildren());
    QVERIFY(!desktop_.hasRecord("recorder"));
}

void TestShell::createProcessPassesNoOtherDescriptors() {
    const QString listing = QDir(desktop_.root()).filePath("descriptors");
    const QString script = desktop_.addScript("list descriptors", "ls /proc/$$/fd > \"$1.part\"; mv \"$1.part\" \"$1\"\n");
    const int open = ::open("/dev/null", O_RDONLY);  // inheritable
    QVERIFY(dup2(open, 200) == 200);
    ::close(open);
    QVERIFY(platform::CreateProcessA(script.toLocal8Bit().constData(), (" " + listing).toLocal8Bit().constData(),
                                     nullptr, nullptr));
    ::close(200);
    QTRY_VERIFY(QFile::exists(listing));
    QFile file(listing);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList descriptors = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!descriptors.contains("200"), qPrintable(descriptors.join(' ')));
    QVERIFY(descriptors.contains("0") && descriptors.contains("1") && descriptors.contains("2"));
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
