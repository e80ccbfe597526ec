#include "eventlabel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "accessibility.h"
#include "mousestate.h"
#include "twips.h"

namespace forms {

EventLabel::EventLabel(const QString& text, QWidget* parent) : Label(text, parent) {
    setMouseTracking(true);
}

void EventLabel::makeLink() {
    installAccessibility();
    link_ = true;
    setFocusPolicy(Qt::TabFocus);
}

void EventLabel::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position() * kTwipsPerPixel;
    emit mouseMoved(mouseButtonState(event->buttons()), mouseShiftState(event->modifiers()),
                    float(at.x()), float(at.y()));
    event->accept();
}

void EventLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    event->accept();
}

void EventLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked();
}

void EventLabel::keyPressEvent(QKeyEvent* event) {
    const bool activates = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                           event->key() == Qt::Key_Space;
    if (!link_ || !activates || (event->modifiers() & ~Qt::KeypadModifier)) {
        Label::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat()) emit clicked();
}

// The focus mark frames the text, inside the label's own box.
void EventLabel::paintEvent(QPaintEvent* event) {
    Label::paintEvent(event);
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect mark;
    mark.initFrom(this);
    const QRect text = fontMetrics().boundingRect(contentsRect(), int(alignment()), this->text());
    mark.rect = text.adjusted(-1, 0, 1, 0) & rect();
    mark.backgroundColor = palette().color(backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, mark);
}

}  // namespace forms
