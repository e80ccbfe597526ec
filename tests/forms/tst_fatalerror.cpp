#include <QtTest>

#include <memory>
#include <stdexcept>

#include "forms/fatalerror.h"
#include "formsrecorders.h"

// What reaches the fatal error message when an error escapes an event handler, and that the
// process then ends.

class TestFatalError : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::RecordedMessageBoxes> boxes;
    std::unique_ptr<testsupport::RecordedExits> exits;

private slots:
    void init() {
        boxes = std::make_unique<testsupport::RecordedMessageBoxes>();
        exits = std::make_unique<testsupport::RecordedExits>();
    }
    void cleanup() {
        exits.reset();
        boxes.reset();
    }

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
        QCOMPARE(boxes->texts, QStringList{forms::fatalErrorText(number, text)});
        QCOMPARE(boxes->titles, QStringList{"Quorvane"});
        QCOMPARE(exits->codes, QList<int>{1});
    }

    void aHandlerThatEndsWellReportsNothing() {
        int runs = 0;
        forms::runEventHandler([&] { ++runs; });
        QCOMPARE(runs, 1);
        QVERIFY(boxes->texts.isEmpty());
        QVERIFY(exits->codes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFatalError)
#include "tst_fatalerror.moc"
