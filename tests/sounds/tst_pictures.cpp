#include <QtTest>

#include <QSet>

#include "sounds/pictures.h"

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void pictures_data();
    void pictures();
    void iconOffersItsImage();
};

void TestPictures::pictures_data() {
    QTest::addColumn<QImage>("image");
    QTest::newRow("program icon") << sounds::programIconImage();
    QTest::newRow("loudspeaker") << sounds::loudspeakerPicture();
}

// 32 x 32, at most 16 colours with transparency, the corners see-through.
void TestPictures::pictures() {
    QFETCH(QImage, image);
    QCOMPARE(image.size(), QSize(32, 32));
    QSet<QRgb> colours;
    int opaque = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = image.pixel(x, y);
            colours.insert(pixel);
            opaque += qAlpha(pixel) == 255;
        }
    }
    QVERIFY2(colours.size() <= 16, qPrintable(QString::number(colours.size())));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(31, 31)), 0);
    QVERIFY(opaque > 200);
}

void TestPictures::iconOffersItsImage() {
    const QIcon icon = sounds::programIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes().value(0), QSize(32, 32));
    QCOMPARE(icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
             sounds::programIconImage().convertToFormat(QImage::Format_ARGB32));
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
