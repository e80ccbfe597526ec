#include <QtTest>

#include <QAccessible>
#include <QSignalSpy>

#include <limits>

#include "forms/fatalerror.h"
#include "forms/picturebox.h"
#include "forms/runtimeerror.h"
#include "formsrecorders.h"
#include "knob/knob.h"
#include "mousemove.h"

// The knob control driven by real mouse, key and wheel events on the offscreen platform.
// The knob keeps its design size, 39 x 40 pixels: halves at x 19.5 and y 20.
class TestKnob : public QObject {
    Q_OBJECT

    std::unique_ptr<Knob> knob;
    std::unique_ptr<QSignalSpy> changed;

    void move(QPointF at, Qt::MouseButtons buttons = Qt::LeftButton,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event = testsupport::mouseMove(knob->surface(), at, buttons, modifiers);
        QApplication::sendEvent(knob->surface(), &event);
    }
    void key(Qt::Key k) { QTest::keyClick(knob.get(), k); }
    void wheel(int delta, bool inverted = false) {
        QWheelEvent event(QPointF(10, 10), knob->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          inverted);
        QApplication::sendEvent(knob.get(), &event);
    }

private slots:
    void init() {
        knob = std::make_unique<Knob>();
        knob->show();
        QVERIFY(QTest::qWaitForWindowExposed(knob.get()));
        changed = std::make_unique<QSignalSpy>(knob.get(), &Knob::Changed);
    }
    void cleanup() {
        changed.reset();
        knob.reset();
    }

    void freshKnob() {
        QCOMPARE(knob->KnobValue(), 0);
        QCOMPARE(knob->surface()->objectName(), QStringLiteral("Knob1"));
        QCOMPARE(knob->surface()->size(), knob->size());
        QCOMPARE(knob->knobGeometry().angle, 315.0f);
        QVERIFY(knob->knobGeometry().pointerX2 < knob->knobGeometry().centerX);
        QVERIFY(knob->knobGeometry().pointerY2 > knob->knobGeometry().centerY);
        QCOMPARE(knob->surface()->fillColor(), QColor(128, 128, 128));
        QCOMPARE(knob->surface()->backColor(), QApplication::palette().color(QPalette::Button));
        QCOMPARE(changed->count(), 0);
    }

    void otherButtonsChangeNothing_data() {
        QTest::addColumn<Qt::MouseButtons>("buttons");
        QTest::newRow("none") << Qt::MouseButtons(Qt::NoButton);
        QTest::newRow("right") << Qt::MouseButtons(Qt::RightButton);
        QTest::newRow("left and right") << (Qt::LeftButton | Qt::RightButton);
        QTest::newRow("middle") << Qt::MouseButtons(Qt::MiddleButton);
    }
    void otherButtonsChangeNothing() {
        QFETCH(Qt::MouseButtons, buttons);
        move({30, 30}, buttons);
        move({35, 5}, buttons);
        QCOMPARE(knob->dragCounter(), 0);
        QCOMPARE(changed->count(), 0);
        // lastX and lastY stayed at (0, 0): a left move to (30, 30) counts -1 and +1.
        move({30, 30});
        QCOMPARE(knob->dragCounter(), 0);
        QCOMPARE(changed->count(), 1);
    }

    void horizontalMoves_data() {
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("change");
        QTest::newRow("upper half") << 5.0 << 1;
        QTest::newRow("lower half") << 30.0 << -1;
        QTest::newRow("centre line counts as lower") << 20.0 << -1;
    }
    void horizontalMoves() {
        QFETCH(double, y);
        QFETCH(int, change);
        knob->SetVal(50);
        move({10, y});
        const int before = knob->KnobValue();
        QCOMPARE(changed->count(), 2);
        move({12, y});
        QCOMPARE(knob->KnobValue(), before + change);
        QCOMPARE(changed->count(), 3);
        move({12, y});  // no motion: redrawn, not turned, still raised
        QCOMPARE(knob->KnobValue(), before + change);
        QCOMPARE(changed->count(), 4);
    }

    void diagonalInUpperRightCountsTwoTurnsOnce() {
        move({25, 2});
        const int count = knob->dragCounter();
        const int value = knob->KnobValue();
        move({27, 4});
        QCOMPARE(knob->dragCounter(), count + 2);
        QCOMPARE(knob->KnobValue(), value + 1);
    }

    void changedSeesTheNewValue() {
        int seen = -1;
        connect(knob.get(), &Knob::Changed, this, [&] { seen = knob->KnobValue(); });
        move({1, 5});
        move({2, 5});
        QCOMPARE(seen, 1);
    }

    // Moves along y = 5 in the upper left: after the first, each counts +1.
    void foldAtPlus101() {
        for (int k = 0; k <= 101; ++k) move({1 + k * 0.1, 5});
        QCOMPARE(knob->dragCounter(), 50);
        QCOMPARE(knob->knobGeometry().lastValue, 101);
        QCOMPARE(knob->KnobValue(), 100);
        move({12, 5});  // clockwise motion, but 51 < 101 turns anticlockwise
        QCOMPARE(knob->KnobValue(), 99);
    }

    void foldAtMinus101() {
        for (int k = 0; k <= 99; ++k) move({1 + k * 0.1, 30});
        QCOMPARE(knob->dragCounter(), -50);
        QCOMPARE(knob->knobGeometry().lastValue, -101);
        QCOMPARE(knob->KnobValue(), 0);
        knob->SetBackColor(0x0000FF);  // the next redraw turns one step clockwise
        QCOMPARE(knob->KnobValue(), 1);
        QCOMPARE(knob->surface()->Point(1, 1), QColor(255, 0, 0));
        QCOMPARE(changed->count(), 100);
    }

    void setVal_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("reads");
        QTest::newRow("50") << 50 << 50;
        QTest::newRow("150") << 150 << 100;
        QTest::newRow("-20") << -20 << 0;
    }
    void setVal() {
        QFETCH(int, value);
        int seen = -1;
        connect(knob.get(), &Knob::Changed, this, [&] { seen = knob->KnobValue(); });
        knob->SetVal(value);
        QTEST(seen, "reads");
        QTEST(knob->KnobValue(), "reads");
        QCOMPARE(changed->count(), 1);
    }

    void setValOverflowRaisesBeforeRedraw() {
        knob->SetVal(30);
        try {
            knob->SetVal(std::numeric_limits<int>::min());
            QFAIL("no overflow");
        } catch (const forms::RuntimeError& error) {
            QCOMPARE(error.number(), 6);
        }
        QCOMPARE(knob->KnobValue(), 30);
        QCOMPARE(changed->count(), 1);
    }

    void modeAndStep() {
        knob->SetVal(50);
        const QImage face = knob->surface()->image();
        knob->SetMode(0);
        QCOMPARE(knob->KnobValue(), 5);
        QCOMPARE(knob->surface()->image(), face);
        knob->SetMode(1);
        knob->SetStep(5);
        key(Qt::Key_Right);
        QCOMPARE(knob->KnobValue(), 55);
        QCOMPARE(changed->count(), 2);
    }

    void sizeIndex_data() {
        QTest::addColumn<int>("twips");
        QTest::addColumn<int>("index");
        QTest::newRow("495") << 495 << 0;
        QTest::newRow("615") << 615 << 1;
        QTest::newRow("630") << 630 << 2;
        QTest::newRow("855") << 855 << 3;
        QTest::newRow("975") << 975 << 4;
    }
    void sizeIndex() {
        QFETCH(int, twips);
        knob->resize(57, twips / 15);
        QApplication::processEvents();
        QTEST(knob->faceSize(), "index");
        QCOMPARE(knob->surface()->size(), knob->size());
        QCOMPARE(knob->knobGeometry().centerY, float(twips / 15) / 2);
        knob->resize(20, twips / 15);  // the width never decides
        QApplication::processEvents();
        QTEST(knob->faceSize(), "index");
        QCOMPARE(changed->count(), 0);
    }

    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("reads");
        QTest::newRow("right") << int(Qt::Key_Right) << 51;
        QTest::newRow("up") << int(Qt::Key_Up) << 51;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 60;
        QTest::newRow("left") << int(Qt::Key_Left) << 49;
        QTest::newRow("down") << int(Qt::Key_Down) << 49;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << 40;
        QTest::newRow("home") << int(Qt::Key_Home) << 0;
        QTest::newRow("end") << int(Qt::Key_End) << 100;
        QTest::newRow("other key") << int(Qt::Key_A) << 50;
    }
    void keys() {
        QFETCH(int, key);
        knob->SetVal(50);
        this->key(Qt::Key(key));
        QTEST(knob->KnobValue(), "reads");
        QCOMPARE(changed->count(), knob->KnobValue() == 50 ? 1 : 2);
    }

    void wheel() {
        knob->SetVal(50);
        wheel(120);
        QCOMPARE(knob->KnobValue(), 51);
        wheel(-240);
        QCOMPARE(knob->KnobValue(), 49);
        wheel(60);
        QCOMPARE(knob->KnobValue(), 49);
        wheel(60);
        QCOMPARE(knob->KnobValue(), 50);
        wheel(120, true);  // natural scrolling: the same turn of the wheel, its delta inverted
        QCOMPARE(knob->KnobValue(), 49);
        QCOMPARE(changed->count(), 6);
    }

    // After a drag fold the keys still step the way they say, and stop at the ends.
    void keysStepStraightToTheEnds() {
        for (int k = 0; k <= 101; ++k) move({1 + k * 0.1, 5});
        QCOMPARE(knob->KnobValue(), 100);
        key(Qt::Key_Up);
        QCOMPARE(knob->KnobValue(), 100);
        for (int i = 0; i < 400; ++i) key(Qt::Key_Down);
        QCOMPARE(knob->KnobValue(), 0);
        QCOMPARE(knob->knobGeometry().angle, 315.0f);
        key(Qt::Key_Up);
        QCOMPARE(knob->KnobValue(), 1);
        QCOMPARE(knob->dragCounter(), 50);
        knob->SetMode(2);
        key(Qt::Key_End);
        QCOMPARE(knob->KnobValue(), 1000);
    }

    void accessible() {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(knob.get());
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::Dial);
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Knob"));
        QAccessibleValueInterface* value = face->valueInterface();
        QVERIFY(value);
        knob->SetVal(42);
        QCOMPARE(value->currentValue().toInt(), 42);
        QCOMPARE(face->text(QAccessible::Value), QStringLiteral("42"));
        QCOMPARE(value->minimumValue().toInt(), 0);
        QCOMPARE(value->maximumValue().toInt(), 100);
        knob->SetMode(2);
        QCOMPARE(value->maximumValue().toInt(), 1000);
        value->setCurrentValue(500);
        QCOMPARE(knob->KnobValue(), 500);

        {
            const testsupport::RecordedMessageBoxes fatalErrors;
            const testsupport::RecordedExits exits;
            value->setCurrentValue(std::numeric_limits<int>::min());
            QCOMPARE(fatalErrors.texts, QStringList{forms::fatalErrorText(6, "Overflow")});
        }
        QCOMPARE(knob->KnobValue(), 500);
    }

    void focusMarkShowsWithoutTouchingThePicture() {
        const QImage face = knob->surface()->image();
        knob->activateWindow();
        knob->setFocus();
        QTRY_VERIFY(knob->hasFocus());
        const QImage focused = knob->grab().toImage();
        knob->clearFocus();
        QTRY_VERIFY(knob->grab().toImage() != focused);
        QCOMPARE(knob->surface()->image(), face);
    }
};

QTEST_MAIN(TestKnob)
#include "tst_knob.moc"
