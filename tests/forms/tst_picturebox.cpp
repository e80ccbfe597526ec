#include <QtTest>

#include <QSignalSpy>

#include "forms/picturebox.h"
#include "mousemove.h"

class TestPictureBox : public QObject {
    Q_OBJECT

private slots:
    void defaults() {
        forms::PictureBox box;
        QCOMPARE(box.backColor(), QApplication::palette().color(QPalette::Button));
        QCOMPARE(box.foreColor(), QApplication::palette().color(QPalette::ButtonText));
        QCOMPARE(box.fillStyle(), int(forms::PictureBox::kTransparent));
        QCOMPARE(box.scaleMode(), int(forms::PictureBox::kTwips));
        box.resize(33, 20);
        QCOMPARE(box.scaleWidth(), 495.0);
        QCOMPARE(box.scaleHeight(), 300.0);
        box.setScaleMode(forms::PictureBox::kPixels);
        QCOMPARE(box.scaleWidth(), 33.0);
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, box.setScaleMode(7));
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, box.setDrawWidth(0));
    }

    void clsLineAndCircle() {
        forms::PictureBox box;
        box.resize(40, 40);
        box.setScaleMode(forms::PictureBox::kPixels);
        box.setBackColor(Qt::blue);
        box.Cls();
        QCOMPARE(box.Point(39.5, 39.5), QColor(Qt::blue));
        box.setDrawWidth(2);
        box.Line(2, 5, 38, 5, Qt::green);
        QCOMPARE(box.Point(20, 4.5), QColor(Qt::green));
        QCOMPARE(box.Point(20, 7.5), QColor(Qt::blue));
        box.setForeColor(Qt::red);
        box.Circle(20, 20, 8);  // transparent: outline only
        QCOMPARE(box.Point(27.5, 20), QColor(Qt::red));
        QCOMPARE(box.Point(20, 20), QColor(Qt::blue));
        box.setFillStyle(forms::PictureBox::kSolid);
        box.setFillColor(Qt::yellow);
        box.Circle(20, 20, 8);
        QCOMPARE(box.Point(20, 20), QColor(Qt::yellow));
        box.Cls();
        QCOMPARE(box.Point(20, 20), QColor(Qt::blue));
    }

    void twipCoordinates() {
        forms::PictureBox box;
        box.resize(40, 40);
        box.setBackColor(Qt::white);
        box.Cls();
        box.setDrawWidth(2);
        box.Line(0, 150, 600, 150, Qt::black);  // y 10 pixels
        QCOMPARE(box.Point(300, 150), QColor(Qt::black));
        QCOMPARE(box.Point(300, 300), QColor(Qt::white));
    }

    // Growing keeps what was drawn and fills the new part with the back colour.
    void drawingPersistsAcrossResize() {
        forms::PictureBox box;
        box.setScaleMode(forms::PictureBox::kPixels);
        box.resize(20, 20);
        box.setBackColor(Qt::white);
        box.Cls();
        box.setDrawWidth(4);
        box.Line(0, 10, 20, 10, Qt::black);
        box.resize(30, 30);
        QCOMPARE(box.Point(10, 10), QColor(Qt::black));
        QCOMPARE(box.Point(25, 25), QColor(Qt::white));
        QCOMPARE(box.image().size(), QSize(30, 30) * box.devicePixelRatioF());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.grab().toImage().pixelColor(QPoint(10, 10) * box.devicePixelRatioF()),
                 QColor(Qt::black));
    }

    void mouseMoves_data() {
        QTest::addColumn<int>("scaleMode");
        QTest::addColumn<Qt::MouseButtons>("buttons");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("shift");
        QTest::addColumn<float>("x");
        QTest::newRow("left, pixels") << 3 << Qt::MouseButtons(Qt::LeftButton)
                                      << Qt::KeyboardModifiers() << 1 << 0 << 10.5f;
        QTest::newRow("both, shift") << 3 << (Qt::LeftButton | Qt::RightButton)
                                     << Qt::KeyboardModifiers(Qt::ShiftModifier) << 3 << 1 << 10.5f;
        QTest::newRow("none, twips, ctrl+alt")
            << 1 << Qt::MouseButtons() << (Qt::ControlModifier | Qt::AltModifier) << 0 << 6
            << 157.5f;
        QTest::newRow("middle") << 3 << Qt::MouseButtons(Qt::MiddleButton)
                                << Qt::KeyboardModifiers() << 4 << 0 << 10.5f;
    }
    void mouseMoves() {
        QFETCH(int, scaleMode);
        QFETCH(Qt::MouseButtons, buttons);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        forms::PictureBox box;
        box.resize(40, 40);
        box.setScaleMode(scaleMode);
        QSignalSpy moved(&box, &forms::PictureBox::mouseMoved);
        QMouseEvent event = testsupport::mouseMove(&box, QPointF(10.5, 3), buttons, modifiers);
        QApplication::sendEvent(&box, &event);
        QCOMPARE(moved.count(), 1);
        QTEST(moved[0][0].toInt(), "button");
        QTEST(moved[0][1].toInt(), "shift");
        QTEST(moved[0][2].toFloat(), "x");
    }
};

QTEST_MAIN(TestPictureBox)
#include "tst_picturebox.moc"
