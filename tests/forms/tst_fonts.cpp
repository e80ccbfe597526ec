#include <QFile>
#include <QFontInfo>
#include <QTest>

#include "forms/application.h"
#include "forms/fonts.h"

class TestFonts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::initApplication(); }

    // 8.25 pt text is the 13 px strike of the bitmap face, as 8 pt system text was.
    void systemTextUsesTheBitmapStrike() {
        if (!QFile::exists("/usr/share/wine/fonts/ms_sans_serif.ttf"))
            QSKIP("fonts-wine is not installed");
        const QFontInfo info(forms::msSansSerif(8.25));
        QCOMPARE(info.family(), QString("MS Sans Serif"));
        QCOMPARE(QFontMetrics(forms::msSansSerif(8.25)).height(), 13);
        QCOMPARE(QFontInfo(QApplication::font()).family(), QString("MS Sans Serif"));
    }

    // Each larger size must come out larger, never the same small strike.
    void largerSizesGrow_data() {
        QTest::addColumn<double>("smaller");
        QTest::addColumn<double>("larger");
        QTest::newRow("8.25 to 9.75") << 8.25 << 9.75;
        QTest::newRow("9.75 to 13.5") << 9.75 << 13.5;
    }
    void largerSizesGrow() {
        QFETCH(double, smaller);
        QFETCH(double, larger);
        const QFontMetrics small(forms::msSansSerif(smaller));
        const QFontMetrics large(forms::msSansSerif(larger));
        const int smallCap = small.tightBoundingRect("H").height();
        const int largeCap = large.tightBoundingRect("H").height();
        QVERIFY2(largeCap >= smallCap, qPrintable(QString("%1 vs %2").arg(largeCap).arg(smallCap)));
        QVERIFY(large.horizontalAdvance("Volume Control") >
                small.horizontalAdvance("Volume Control") * 1.1);
    }
};

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
