#pragma once

#include <QMouseEvent>
#include <QWidget>

namespace testsupport {

// A mouse move to `at`, in `widget`'s coordinates, with `buttons` held.
inline QMouseEvent mouseMove(const QWidget* widget, QPointF at,
                             Qt::MouseButtons buttons = Qt::LeftButton,
                             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return QMouseEvent(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, buttons,
                       modifiers);
}

}  // namespace testsupport
