#include <QtTest>

#include <stdexcept>

#include "forms/fatalerror.h"

// What reaches the fatal error message when an error escapes an event handler.

class TestFatalError : public QObject {
    Q_OBJECT

    QList<QPair<int, QString>> reported;

private slots:
    void init() {
        reported.clear();
        forms::setFatalErrorReporter(
            [this](int number, const QString& text) { reported.append({number, text}); });
    }
    void cleanupTestCase() { forms::setFatalErrorReporter(nullptr); }

    void messageNamesNumberAndText() {
        QCOMPARE(forms::fatalErrorText(6, "Overflow"), QString("Run-time error '6':\n\nOverflow"));
    }

    void escapingErrorsAreReported_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("runtime error") << 0 << 6 << "Overflow";
        QTest::newRow("memory") << 1 << 7 << "Out of memory";
        QTest::newRow("anything else") << 2 << 51 << "Internal error";
    }

    void escapingErrorsAreReported() {
        QFETCH(int, kind);
        QFETCH(int, number);
        QFETCH(QString, text);
        forms::runEventHandler([&] {
            if (kind == 0) throw forms::overflowError();
            if (kind == 1) throw std::bad_alloc();
            throw std::logic_error("x");
        });
        QCOMPARE(reported, (QList<QPair<int, QString>>{{number, text}}));
    }

    void aHandlerThatEndsWellReportsNothing() {
        int runs = 0;
        forms::runEventHandler([&] { ++runs; });
        QCOMPARE(runs, 1);
        QVERIFY(reported.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFatalError)
#include "tst_fatalerror.moc"
