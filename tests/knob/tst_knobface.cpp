#include <QtTest>

#include "forms/picturebox.h"
#include "knob/clsknob.h"

// The drawn face, read back from the surface's picture. Runs at the screen's device pixel
// ratio, so the same checks hold on a high-density screen.
class TestKnobFace : public QObject {
    Q_OBJECT

    forms::PictureBox surface;
    CLSKNOB knob;
    const QColor grey{128, 128, 128};

    static bool near(const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue()) < 24;
    }
    void drawAt(int value, int size = 0) {
        knob.BuildTable();
        knob.SetValue(1, value);
        knob.drawKnob(surface, knob.lastValue, 1, 1, size);
    }

private slots:
    void init() {
        surface.resize(33, 33);
        surface.setFillStyle(forms::PictureBox::kSolid);
        surface.setFillColor(grey);
        surface.setForeColor(Qt::black);
        surface.setBackColor(QColor(240, 240, 240));
    }

    void pictureFollowsDevicePixelRatio() {
        drawAt(0);
        const QImage& image = surface.image();
        QCOMPARE(image.devicePixelRatio(), surface.devicePixelRatioF());
        QCOMPARE(image.size(), QSize(33, 33) * surface.devicePixelRatioF());
    }

    void example33() {
        drawAt(0);
        QVERIFY(near(surface.Point(10.12, 22.85), Qt::white));   // pointer midway
        QVERIFY(near(surface.Point(12.6, 20.4), Qt::white));     // near its inner end
        QVERIFY(near(surface.Point(20.5, 12.5), grey));          // grey fill
        QVERIFY(near(surface.Point(1, 1), QColor(240, 240, 240)));  // background
        // Outer circle centred on (16.5, 16.5), radius 12.
        QVERIFY(near(surface.Point(28.5, 16.5), Qt::black));
        QVERIFY(near(surface.Point(16.5, 4.5), Qt::black));
        QVERIFY(near(surface.Point(30.2, 16.5), QColor(240, 240, 240)));
        // Inner ring centred on (17, 17), radius 9: its right edge spans 25 to 27.
        QVERIFY(near(surface.Point(26.75, 17), Qt::black));
        QVERIFY(near(surface.Point(24.6, 17), grey));
        QVERIFY(near(surface.Point(17, 7.25), Qt::black));
        QVERIFY(near(surface.Point(17, 9.4), grey));
    }

    void pointerDirection_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<QList<QPointF>>("elsewhere");
        const QPointF lowerLeft(32.5 - 12.7, 32.5 + 12.7), up(32.5, 32.5 - 18),
            lowerRight(32.5 + 12.7, 32.5 + 12.7);
        QTest::newRow("0 lower left") << 0 << lowerLeft << QList<QPointF>{up, lowerRight};
        QTest::newRow("50 up") << 50 << up << QList<QPointF>{lowerLeft, lowerRight};
        QTest::newRow("100 lower right") << 100 << lowerRight << QList<QPointF>{lowerLeft, up};
    }
    // Size 4 on the main window's 65 pixel high surface: radii 15 to 27, sampled at 18.
    void pointerDirection() {
        QFETCH(int, value);
        QFETCH(QPointF, pointer);
        QFETCH(QList<QPointF>, elsewhere);
        surface.resize(65, 65);
        drawAt(value, 4);
        QCOMPARE(knob.GetValue(1), value);
        QVERIFY(near(surface.Point(pointer.x(), pointer.y()), Qt::white));
        for (const QPointF& p : elsewhere) QVERIFY(near(surface.Point(p.x(), p.y()), grey));
    }

    void redrawReplacesTheFace() {
        surface.resize(65, 65);
        drawAt(100, 4);
        QVERIFY(near(surface.Point(45.2, 45.2), Qt::white));
        drawAt(0, 4);
        QVERIFY(near(surface.Point(45.2, 45.2), grey));
        const QImage first = surface.image();
        knob.drawKnob(surface, knob.lastValue, 1, 1, 4);
        QCOMPARE(surface.image(), first);
    }
};

QTEST_MAIN(TestKnobFace)
#include "tst_knobface.moc"
