#include "eventlabel.h"

#include <QMouseEvent>

#include "mousestate.h"
#include "twips.h"

namespace forms {

EventLabel::EventLabel(const QString& text, QWidget* parent) : Label(text, parent) {
    setMouseTracking(true);
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

}  // namespace forms
