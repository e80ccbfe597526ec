#include <QtTest>

#include <limits>
#include <stdexcept>
#include <vector>

#include "forms/picturebox.h"
#include "forms/runtimeerror.h"
#include "knob/clsknob.h"

namespace {

constexpr int kMin = std::numeric_limits<int>::min();

// Records the circles drawn; the members named in `missing` fail as if the surface lacked them.
class RecordingSurface : public forms::DrawingSurface {
public:
    QStringList missing;
    std::vector<double> radii;
    int lines = 0;

    void setAutoRedraw(bool) override { fail("AutoRedraw"); }
    void Cls() override { fail("Cls"); }
    void setDrawWidth(int) override { fail("DrawWidth"); }
    void setScaleMode(int) override { fail("ScaleMode"); }
    double scaleWidth() const override { fail("ScaleWidth"); return 33; }
    double scaleHeight() const override { fail("ScaleHeight"); return 33; }
    void Circle(double, double, double r) override { fail("Circle"); radii.push_back(r); }
    void Line(double, double, double, double, const QColor&) override { fail("Line"); ++lines; }

private:
    void fail(const QString& member) const {
        if (missing.contains(member)) throw std::runtime_error("member not found");
    }
};

}  // namespace

class TestClsKnob : public QObject {
    Q_OBJECT

    CLSKNOB built() {
        CLSKNOB knob;
        knob.BuildTable();
        return knob;
    }
    void draw(CLSKNOB& knob, int value = 0, int mode = 1, int step = 1, int size = 0) {
        RecordingSurface surface;
        knob.drawKnob(surface, value, mode, step, size);
    }

private slots:
    void freshTableReadsZeroInEveryMode() {
        CLSKNOB knob = built();
        QCOMPARE(knob.angle, 315.0f);
        for (int mode : {0, 1, 2, 3}) QCOMPARE(knob.GetValue(mode), 0);
        QCOMPARE(knob.sinTable[315], std::sin(315 * 3.14 / 180));
    }

    void setValueThenDraw_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("val");
        QTest::addColumn<float>("angleSet");
        QTest::addColumn<int>("readBefore");
        QTest::addColumn<float>("angleDrawn");
        QTest::addColumn<int>("readAfter");
        QTest::newRow("mode 1, 0") << 1 << 0 << float(117 * 2.7) << 0 << 315.0f << 0;
        QTest::newRow("mode 1, 50") << 1 << 50 << float(67 * 2.7) << 50 << float(67 * 2.7) << 50;
        QTest::newRow("mode 1, 150 clamps") << 1 << 150 << float(-33 * 2.7) << 150 << 45.0f << 100;
        QTest::newRow("mode 1, -20 mirrors") << 1 << -20 << float(137 * 2.7) << 20 << 315.0f << 0;
        QTest::newRow("mode 0, 12") << 0 << 12 << 0.0f << 12 << 45.0f << 10;
        QTest::newRow("mode 0, 5") << 0 << 5 << 189.0f << 5 << 189.0f << 5;
        QTest::newRow("mode 2, 1000") << 2 << 1000 << float(167 * 0.27) << 1000 << float(167 * 0.27)
                                      << 1000;
        QTest::newRow("mode 3 moves nothing") << 3 << 50 << 315.0f << 0 << 315.0f << 0;
    }
    void setValueThenDraw() {
        QFETCH(int, mode);
        QFETCH(int, val);
        CLSKNOB knob = built();
        knob.SetValue(mode, val);
        QTEST(knob.angle, "angleSet");
        QTEST(knob.GetValue(mode), "readBefore");
        draw(knob, 0, mode);
        QTEST(knob.angle, "angleDrawn");
        QTEST(knob.GetValue(mode), "readAfter");
    }

    void sweep_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("last");
        QTest::newRow("mode 0") << 0 << 10 << 10;
        QTest::newRow("mode 1") << 1 << 100 << 100;
        QTest::newRow("mode 1 beyond the stop") << 1 << 130 << 100;
        QTest::newRow("mode 2") << 2 << 1000 << 1000;
    }
    // Each clockwise step raises the value by exactly one, single-precision steps included.
    void sweep() {
        QFETCH(int, mode);
        QFETCH(int, steps);
        CLSKNOB knob = built();
        for (int i = 1; i <= steps; ++i) {
            draw(knob, i, mode);
            QCOMPARE(knob.GetValue(mode), std::min(i, mode == 0 ? 10 : mode == 1 ? 100 : 1000));
        }
        QTEST(knob.GetValue(mode), "last");
        draw(knob, -1000, mode);
        QCOMPARE(knob.lastValue, -1000);
        QCOMPARE(knob.GetValue(mode), std::min(steps, mode == 0 ? 10 : mode == 1 ? 100 : 1000) - 1);
    }

    void turnRule() {
        CLSKNOB knob = built();
        draw(knob, 0);
        QCOMPARE(knob.angle, 315.0f);  // equal values do not turn
        draw(knob, -5);
        QCOMPARE(knob.angle, 315.0f);  // anticlockwise stops at 315
        draw(knob, 0, 1, 5);
        QCOMPARE(knob.GetValue(1), 5);  // a rise of 5 turns one step of 5 units
        draw(knob, 1, 1, -1);
        QCOMPARE(knob.GetValue(1), 4);  // a negative step turns the other way
        draw(knob, 2, 1, 0);
        QCOMPARE(knob.GetValue(1), 4);
        draw(knob, 3, 3, 1);
        QCOMPARE(knob.GetValue(1), 4);  // an unknown mode never turns
        QCOMPARE(knob.lastValue, 3);
    }

    void overflow_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("val");
        QTest::addColumn<bool>("fails");
        QTest::newRow("mode 0 difference") << 0 << kMin << true;
        QTest::newRow("mode 0 product") << 0 << -80000000 << true;
        QTest::newRow("mode 0 largest product") << 0 << -79536419 << false;
        QTest::newRow("mode 1 difference") << 1 << kMin + 117 << true;
        QTest::newRow("mode 1 largest difference") << 1 << kMin + 118 << false;
        QTest::newRow("mode 1 upper end") << 1 << std::numeric_limits<int>::max() << false;
        QTest::newRow("mode 2 difference") << 2 << kMin + 1000 << true;
    }
    void overflow() {
        QFETCH(int, mode);
        QFETCH(int, val);
        QFETCH(bool, fails);
        CLSKNOB knob = built();
        try {
            knob.SetValue(mode, val);
            QVERIFY(!fails);
            QVERIFY(knob.angle != 315.0f);
        } catch (const forms::RuntimeError& error) {
            QVERIFY(fails);
            QCOMPARE(error.number(), 6);
            QCOMPARE(knob.angle, 315.0f);
        }
    }

    // An overflowing mode 0 step abandons the turn; the face is still drawn and recorded.
    void overflowingStepStillDraws() {
        CLSKNOB knob = built();
        knob.SetValue(0, 5);
        RecordingSurface surface;
        knob.drawKnob(surface, 1, 0, 80000000, 0);
        QCOMPARE(knob.angle, 189.0f);
        QCOMPARE(surface.radii.size(), size_t(2));
        QCOMPARE(surface.lines, 1);
        QCOMPARE(knob.lastValue, 1);
    }

    void tiesToEven_data() {
        QTest::addColumn<float>("angle");
        QTest::addColumn<int>("degree");
        QTest::newRow("45.5") << 45.5f << 46;
        QTest::newRow("180.5") << 180.5f << 180;
        QTest::newRow("180.9") << 180.9f << 181;
    }
    void tiesToEven() {
        QFETCH(float, angle);
        QFETCH(int, degree);
        CLSKNOB knob = built();
        knob.angle = angle;
        draw(knob, 0, 1, 1, 4);
        QCOMPARE(knob.pointerX2, float(16.5 + 27 * knob.sinTable[degree]));
        QCOMPARE(knob.pointerY2, float(16.5 + 27 * knob.cosTable[degree]));
    }

    void example33() {
        CLSKNOB knob = built();
        forms::PictureBox surface;
        surface.resize(33, 33);
        knob.drawKnob(surface, 0, 1, 1, 0);
        QCOMPARE(knob.centerX, 16.5f);
        QCOMPARE(knob.centerY, 16.5f);
        QCOMPARE(qRound(knob.pointerX1 * 100), 1225);
        QCOMPARE(qRound(knob.pointerY1 * 100), 2073);
        QCOMPARE(qRound(knob.pointerX2 * 100), 799);
        QCOMPARE(qRound(knob.pointerY2 * 100), 2496);
        QCOMPARE(surface.scaleMode(), 3);
        QCOMPARE(surface.drawWidth(), 2);
        QVERIFY(surface.autoRedraw());
    }

    void sizes_data() {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<int>("inner");
        QTest::addColumn<int>("outer");
        QTest::addColumn<double>("ring");
        QTest::newRow("0") << QList<int>{0} << 6 << 12 << 9.0;
        QTest::newRow("4") << QList<int>{4} << 15 << 27 << 27 * 0.8;
        QTest::newRow("7 after 2") << QList<int>{2, 7} << 9 << 18 << 18 * 0.8;
        QTest::newRow("-1 fresh") << QList<int>{-1} << 0 << 0 << 0.0;
        QTest::newRow("-1 after 3") << QList<int>{3, -1} << 12 << 22 << 22 * 0.75;
    }
    void sizes() {
        QFETCH(QList<int>, sizes);
        CLSKNOB knob = built();
        RecordingSurface surface;
        for (int size : sizes) knob.drawKnob(surface, 0, 1, 1, size);
        QTEST(knob.innerRadius, "inner");
        QTEST(knob.outerRadius, "outer");
        QTEST(surface.radii.back(), "ring");
        if (knob.outerRadius == 0) {
            QCOMPARE(knob.pointerX1, knob.centerX);
            QCOMPARE(knob.pointerX2, knob.centerX);
        }
    }

    // Each failing member costs its own step only; lastValue is set in every case.
    void failingMembersAreIsolated_data() {
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<int>("circles");
        QTest::addColumn<int>("lines");
        QTest::addColumn<float>("centerX");
        QTest::newRow("none") << QStringList{} << 2 << 1 << 16.5f;
        QTest::newRow("preparation") << QStringList{"AutoRedraw", "Cls", "DrawWidth", "ScaleMode"}
                                     << 2 << 1 << 16.5f;
        QTest::newRow("ScaleWidth") << QStringList{"ScaleWidth"} << 2 << 1 << 0.0f;
        QTest::newRow("Circle") << QStringList{"Circle"} << 0 << 1 << 16.5f;
        QTest::newRow("everything") << QStringList{"AutoRedraw", "Cls", "DrawWidth", "ScaleMode",
                                                   "ScaleWidth", "ScaleHeight", "Circle", "Line"}
                                    << 0 << 0 << 0.0f;
    }
    void failingMembersAreIsolated() {
        QFETCH(QStringList, missing);
        CLSKNOB knob = built();
        RecordingSurface surface;
        surface.missing = missing;
        knob.drawKnob(surface, 7, 1, 1, 0);
        QTEST(int(surface.radii.size()), "circles");
        QTEST(surface.lines, "lines");
        QTEST(knob.centerX, "centerX");
        QCOMPARE(knob.lastValue, 7);
        QCOMPARE(knob.GetValue(1), 1);
    }

    // A fresh instance without tables reads angle 0 and draws at 45 after the end stop.
    void freshInstanceDraws() {
        CLSKNOB knob;
        QCOMPARE(knob.GetValue(1), 117);
        draw(knob, 0, 1, 1, -1);
        QCOMPARE(knob.angle, 45.0f);
        QCOMPARE(knob.innerRadius, 0);
        QCOMPARE(knob.pointerX1, 16.5f);
        QCOMPARE(knob.pointerY2, 16.5f);
    }
};

QTEST_MAIN(TestClsKnob)
#include "tst_clsknob.moc"
