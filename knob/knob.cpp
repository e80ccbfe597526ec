#include "knob.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>

#include "forms/picturebox.h"
#include "forms/twips.h"
#include "knobaccessible.h"

namespace {

constexpr std::uint32_t kMidGrey = 0x808080;
constexpr int kPageSteps = 10;
constexpr int kNotch = 120;

std::int32_t sizeIndexForHeight(int twips) {
    if (twips <= 495) return 0;
    if (twips <= 615) return 1;
    if (twips <= 735) return 2;
    if (twips <= 855) return 3;
    return 4;
}

}  // namespace

Knob::Knob(QWidget* parent) : QWidget(parent), Knob1(new forms::PictureBox(this)) {
    installKnobAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Knob"));
    resize(forms::twipsToPixels(585), forms::twipsToPixels(600));

    Knob1->setObjectName(QStringLiteral("Knob1"));
    Knob1->setGeometry(forms::twipsRect(0, 0, 495, 495));
    Knob1->setFillStyle(forms::PictureBox::kSolid);
    Knob1->setFillColor(forms::fromBgr(kMidGrey));
    Knob1->setFocusPolicy(Qt::NoFocus);
    connect(Knob1, &forms::PictureBox::mouseMoved, this, &Knob::Knob1_MouseMove);

    knobGeometry().BuildTable();
    redraw();
}

Knob::~Knob() = default;

CLSKNOB& Knob::knobGeometry() {
    if (!geometry) geometry = std::make_unique<CLSKNOB>();
    return *geometry;
}

void Knob::redraw() { knobGeometry().drawKnob(*Knob1, dragCount, mode, step, sizeIndex); }

void Knob::raiseChanged() {
    emit Changed();
    QAccessibleValueChangeEvent event(this, KnobValue());
    QAccessible::updateAccessibility(&event);
}

void Knob::fold() {
    if (dragCount > 100) dragCount = 50;
    if (dragCount < -100) dragCount = -50;
}

void Knob::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Knob1->resize(Knob1->width(), height());
    Knob1->resize(width(), Knob1->height());
    sizeIndex = sizeIndexForHeight(forms::pixelsToTwips(Knob1->height()));
    redraw();
}

// Each coordinate that moves clockwise around the face centre counts +1, anticlockwise -1.
void Knob::Knob1_MouseMove(int button, int, float X, float Y) {
    if (button != 1) return;
    const float halfH = float(Knob1->scaleHeight() / 2);
    const float halfW = float(Knob1->scaleWidth() / 2);
    const std::int32_t upper = Y < halfH ? 1 : -1;
    if (X > lastX) dragCount += upper;
    if (X < lastX) dragCount -= upper;
    const std::int32_t right = X >= halfW ? 1 : -1;
    if (Y > lastY) dragCount += right;
    if (Y < lastY) dragCount -= right;
    redraw();
    raiseChanged();
    fold();
    lastX = X;
    lastY = Y;
}

// Keys and the wheel set the value straight, a whole number of steps from the value shown and
// within the mode's range. They leave the drag counter alone, so a fold never turns them.
void Knob::stepBy(std::int64_t steps) { showValue(KnobValue() + steps * step); }

void Knob::showValue(std::int64_t value) {
    CLSKNOB& knob = knobGeometry();
    knob.SetValue(mode, std::int32_t(std::clamp<std::int64_t>(value, 0, maximumValue())));
    const std::int32_t unturned = knob.lastValue;
    knob.drawKnob(*Knob1, unturned, mode, step, sizeIndex);
    raiseChanged();
}

void Knob::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up: stepBy(1); break;
    case Qt::Key_Left:
    case Qt::Key_Down: stepBy(-1); break;
    case Qt::Key_PageUp: stepBy(kPageSteps); break;
    case Qt::Key_PageDown: stepBy(-kPageSteps); break;
    case Qt::Key_Home: showValue(0); break;
    case Qt::Key_End: showValue(maximumValue()); break;
    default: QWidget::keyPressEvent(event);
    }
}

// One step per wheel notch (120 units); finer wheels gather until a notch is full. Turning the
// wheel away from the hand raises the value whatever the desktop's natural-scrolling setting,
// and a sideways wheel raises it to the right.
void Knob::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const int away = delta.y() != 0 ? delta.y() : -delta.x();
    wheelRemainder_ += event->inverted() ? -away : away;
    for (; wheelRemainder_ >= kNotch; wheelRemainder_ -= kNotch) stepBy(1);
    for (; wheelRemainder_ <= -kNotch; wheelRemainder_ += kNotch) stepBy(-1);
    event->accept();
}

void Knob::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    Knob1->setFocusMark(true);
}

void Knob::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    Knob1->setFocusMark(false);
}

void Knob::SetBackColor(int color) {
    Knob1->setBackColor(forms::fromBgr(std::uint32_t(color)));
    redraw();
}

void Knob::SetMode(int NewMode) { mode = NewMode; }

void Knob::SetStep(int NewStep) { step = NewStep; }

void Knob::SetVal(int NewVal) {
    knobGeometry().SetValue(mode, NewVal);
    redraw();
    raiseChanged();
}

int Knob::KnobValue() { return knobGeometry().GetValue(mode); }

int Knob::maximumValue() const {
    const KnobScale* scale = knobScale(mode);
    return scale ? scale->maximum : 0;
}
