#include "line.h"

#include <QPainter>

#include "twips.h"

namespace forms {

Line::Line(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void Line::setEnds(int x1, int y1, int x2, int y2) {
    ends_ = QLine(twipsPoint(x1, y1), twipsPoint(x2, y2));
    setGeometry(QRect(ends_.p1(), ends_.p2()).normalized());
    update();
}

void Line::setBorderColor(const QColor& color) {
    color_ = color;
    update();
}

void Line::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(color_, 1));
    painter.drawLine(ends_.translated(-pos()));
}

}  // namespace forms
