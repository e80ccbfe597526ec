// The call routing against the sound server of the environment: commands given faster than
// the server answers them end as the last one asked, with the whole microphone or none of it.
#include <QProcess>
#include <QTest>

#include <chrono>

#include "platform/callrouting.h"

namespace {

// How many modules that carry the program's owner mark the server lists.
qsizetype ourModules() {
    QProcess pactl;
    pactl.start("pactl", {"list", "short", "modules"});
    pactl.waitForFinished(5000);
    return QString::fromLocal8Bit(pactl.readAllStandardOutput()).count("quorvane.owner=");
}

}  // namespace

class TestCallRouting : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { platform::CallRouting::instance().shutdown(std::chrono::seconds(2)); }

    // On, off, on ends with the mixing sink and the source loaded (the user's microphone joins
    // only for a recording); off, on, off ends with nothing. The gaps go from none to 9 ms.
    void aBurstEndsAsTheLastCommand() {
        platform::CallRouting& routing = platform::CallRouting::instance();
        QTRY_VERIFY(routing.enable());
        for (int gap = 0; gap < 10; ++gap) {
            routing.disable();
            QTest::qWait(gap);
            QVERIFY(routing.enable());
            QTRY_COMPARE(ourModules(), 2);
            QTest::qWait(300);
            QCOMPARE(ourModules(), 2);

            routing.disable();
            QTest::qWait(gap);
            routing.enable();
            QTest::qWait(gap);
            routing.disable();
            QTRY_COMPARE(ourModules(), 0);
            QTest::qWait(300);
            QCOMPARE(ourModules(), 0);
            routing.enable();
        }
    }
};

QTEST_GUILESS_MAIN(TestCallRouting)
#include "tst_callrouting.moc"
