#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include "about/mopenurl.h"
#include "recordingdesktop.h"

using testsupport::RecordingDesktop;

namespace {

bool withoutBrowser() { return qEnvironmentVariableIsSet("QUORVANE_DESKTOP_WITHOUT_BROWSER"); }

struct Entry {
    QString name;
    QString linkTarget;
    QByteArray contents;
    bool operator==(const Entry&) const = default;
};

// What a directory holds, links unfollowed.
QList<Entry> listing(const QString& directory) {
    QList<Entry> entries;
    const QDir dir(directory);
    for (const QFileInfo& info : dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        Entry entry{info.fileName(), info.symLinkTarget(), {}};
        QFile file(info.filePath());
        if (!info.isSymLink() && file.open(QIODevice::ReadOnly)) entry.contents = file.readAll();
        entries.append(entry);
    }
    return entries;
}

QString names(const QList<Entry>& entries) {
    QStringList result;
    for (const Entry& entry : entries) result.append(entry.name);
    return result.join(' ');
}

}  // namespace

class TestMOpenURL : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void cutAtNul_data();
    void cutAtNul();
    void temporaryDirectoryEndsWithItsSeparator();

    void webAddressGoesToTheSchemeHandlerNotTheHtmlEditor();
    void defaultBrowserIsTheHtmlHandlersFullPath();
    void filesInTheTemporaryDirectoryStayAsTheyWere_data();
    void filesInTheTemporaryDirectoryStayAsTheyWere();
    void unusableTemporaryDirectoryGivesWayToTheSystems_data();
    void unusableTemporaryDirectoryGivesWayToTheSystems();
    void temporaryDirectoryOfAnyName();
    void noBrowserStartsNothing();

private:
    RecordingDesktop desktop_;
    QString editor_;
    QString temporary_;
};

// Addresses without a scheme handler go to the HTML files' handler, found through the marker.
// The plain-text viewer would be chosen if the empty marker were taken for plain text.
void TestMOpenURL::initTestCase() {
    if (!withoutBrowser()) {
        desktop_.addHandler("browser", "my browser", {"x-scheme-handler/http", "x-scheme-handler/https"});
        editor_ = desktop_.addHandler("editor", "my editor", {"text/html"});
        desktop_.addHandler("viewer", "bin", {"text/plain"});
    }
    desktop_.useInThisProcess();
    temporary_ = QDir(desktop_.root()).filePath("temporary");
    qputenv("TMPDIR", temporary_.toLocal8Bit());
}

void TestMOpenURL::init() {
    QDir(temporary_).removeRecursively();
    QVERIFY(QDir().mkpath(temporary_));
}

void TestMOpenURL::cutAtNul_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("cut");
    QTest::newRow("no NUL") << QByteArray("abc  ") << QByteArray("abc  ");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("starts with NUL") << QByteArray("\0abc", 4) << QByteArray();
    QTest::newRow("first of several NULs") << QByteArray("ab\0c\0", 5) << QByteArray("ab");
    QTest::newRow("NUL last") << QByteArray("/tmp/\0", 6) << QByteArray("/tmp/");
}

void TestMOpenURL::cutAtNul() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, cut);
    QCOMPARE(mOpenURL::CutAtNul(text), cut);
}

void TestMOpenURL::temporaryDirectoryEndsWithItsSeparator() {
    QCOMPARE(mOpenURL::GetTempDirectory(), temporary_.toLocal8Bit() + '/');
}

// The browser's path holds a blank: it is started as the program, in the caller's directory.
void TestMOpenURL::webAddressGoesToTheSchemeHandlerNotTheHtmlEditor() {
    if (withoutBrowser()) QSKIP("this desktop has no browser");
    const QString address = "http://www.example.org/quorvane";
    QVERIFY(mOpenURL::OpenWebAddress(address));
    QCOMPARE(desktop_.takeRecord("browser"), (QStringList{QDir::currentPath(), address}));
    QVERIFY2(testsupport::hasNoChildren(), "the browser is the program's child");
    QVERIFY(!desktop_.hasRecord("editor"));
    QCOMPARE(names(listing(temporary_)), QString());
}

void TestMOpenURL::defaultBrowserIsTheHtmlHandlersFullPath() {
    if (withoutBrowser()) QSKIP("this desktop has no browser");
    int code = 0;
    QCOMPARE(mOpenURL::FindDefaultBrowser(code), editor_.toLocal8Bit());
    QVERIFY(code > 32);
    QCOMPARE(names(listing(temporary_)), QString());
}

// A directory name that is no UTF-8 text is a name like any other.
void TestMOpenURL::temporaryDirectoryOfAnyName() {
    if (withoutBrowser()) QSKIP("this desktop has no browser");
    const QByteArray tmpdir = temporary_.toLocal8Bit() + "/\xff\xfe latin-1 \xe9";
    QCOMPARE(::mkdir(tmpdir.constData(), 0700), 0);
    qputenv("TMPDIR", tmpdir);
    const bool started = mOpenURL::OpenWebAddress("abc");
    qputenv("TMPDIR", temporary_.toLocal8Bit());
    QVERIFY(started);
    QCOMPARE(desktop_.takeRecord("editor").mid(1), QStringList{"abc"});
    QCOMPARE(::rmdir(tmpdir.constData()), 0);  // left empty
}

void TestMOpenURL::filesInTheTemporaryDirectoryStayAsTheyWere_data() {
    QTest::addColumn<bool>("link");
    QTest::newRow("a link planted as dummy.html") << true;
    QTest::newRow("the user's own dummy.html") << false;
}

void TestMOpenURL::filesInTheTemporaryDirectoryStayAsTheyWere() {
    if (withoutBrowser()) QSKIP("this desktop has no browser");
    QFETCH(bool, link);
    const QString victim = QDir(desktop_.root()).filePath("precious");
    QFile precious(victim);
    QVERIFY(precious.open(QIODevice::WriteOnly | QIODevice::Truncate));
    precious.write("keep me");
    precious.close();
    const QString marker = QDir(temporary_).filePath("dummy.html");
    if (link) {
        QVERIFY(QFile::link(victim, marker));
    } else {
        QVERIFY(QFile::copy(victim, marker));
    }
    const QList<Entry> before = listing(temporary_);

    QVERIFY(mOpenURL::OpenWebAddress("abc"));
    QCOMPARE(desktop_.takeRecord("editor").mid(1), QStringList{"abc"});
    QCOMPARE(listing(temporary_), before);
    QVERIFY(precious.open(QIODevice::ReadOnly));
    QCOMPARE(precious.readAll(), QByteArray("keep me"));
}

void TestMOpenURL::unusableTemporaryDirectoryGivesWayToTheSystems_data() {
    QTest::addColumn<QByteArray>("tmpdir");
    QTest::newRow("missing") << QDir(temporary_).filePath("gone").toLocal8Bit();
    QTest::newRow("a file") << QDir(desktop_.root()).filePath("records").toLocal8Bit() + "/../config/mimeapps.list";
    QTest::newRow("longer than its buffer") << temporary_.toLocal8Bit() + '/' + QByteArray(300, 'x');
    QTest::newRow("relative") << QByteArray("temporary");
}

// The marker goes to the system's temporary directory instead; nothing is left behind there,
// and in particular no directory appears beside the program.
void TestMOpenURL::unusableTemporaryDirectoryGivesWayToTheSystems() {
    if (withoutBrowser()) QSKIP("this desktop has no browser");
    QFETCH(QByteArray, tmpdir);
    const QStringList here = QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    // Other programs' marker folders come and go in the shared directory; one of this call's
    // would stay.
    const QStringList folders{"quorvane-??????"};
    const QStringList system = QDir("/tmp").entryList(folders, QDir::AllEntries);
    const auto leftInSystem = [&] {
        QStringList now = QDir("/tmp").entryList(folders, QDir::AllEntries);
        for (const QString& folder : system) now.removeAll(folder);
        return now;
    };
    qputenv("TMPDIR", tmpdir);
    const bool started = mOpenURL::OpenWebAddress("abc");
    qputenv("TMPDIR", temporary_.toLocal8Bit());
    QVERIFY(started);
    QCOMPARE(desktop_.takeRecord("editor").mid(1), QStringList{"abc"});
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), here);
    QTRY_COMPARE_WITH_TIMEOUT(leftInSystem(), QStringList(), 5000);
    QCOMPARE(names(listing(temporary_)), QString());
}

void TestMOpenURL::noBrowserStartsNothing() {
    if (!withoutBrowser()) QSKIP("runs as tst_mopenurl_unassociated, on a desktop without browser");
    int code = 99;
    mOpenURL::FindDefaultBrowser(code);
    QVERIFY(code <= 32);
    QVERIFY(!mOpenURL::OpenWebAddress("abc"));
    QTest::qWait(300);
    QVERIFY(!desktop_.hasRecord("browser") && !desktop_.hasRecord("editor"));
    QVERIFY(!desktop_.hasRecord("viewer"));
    QCOMPARE(names(listing(temporary_)), QString());
}

QTEST_GUILESS_MAIN(TestMOpenURL)
#include "tst_mopenurl.moc"
