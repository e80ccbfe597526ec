#include "picturebox.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>

#include "mousestate.h"

namespace forms {

namespace {

Qt::BrushStyle brushStyle(int fillStyle) {
    switch (fillStyle) {
    case PictureBox::kSolid: return Qt::SolidPattern;
    case PictureBox::kHorizontalLine: return Qt::HorPattern;
    case PictureBox::kVerticalLine: return Qt::VerPattern;
    case PictureBox::kUpwardDiagonal: return Qt::BDiagPattern;
    case PictureBox::kDownwardDiagonal: return Qt::FDiagPattern;
    case PictureBox::kCross: return Qt::CrossPattern;
    case PictureBox::kDiagonalCross: return Qt::DiagCrossPattern;
    default: return Qt::NoBrush;
    }
}

}  // namespace

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent),
      backColor_(QApplication::palette().color(QPalette::Button)),
      foreColor_(QApplication::palette().color(QPalette::ButtonText)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setDrawWidth(int pixels) {
    if (pixels < 1) throw RuntimeError(380, "Invalid property value");
    drawWidth_ = pixels;
}

void PictureBox::setScaleMode(int mode) {
    if (mode != kTwips && mode != kPixels) throw RuntimeError(380, "Invalid property value");
    scaleMode_ = mode;
}

// The image keeps the widget's size at the current device pixel ratio. A size change keeps
// what was drawn and fills the new area with the back colour, as the surface does on screen.
QImage& PictureBox::canvas() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(std::max(1, int(std::ceil(width() * ratio))),
                       std::max(1, int(std::ceil(height() * ratio))));
    if (image_.size() != pixels || image_.devicePixelRatio() != ratio) {
        QImage resized(pixels, QImage::Format_RGB32);
        resized.setDevicePixelRatio(ratio);
        resized.fill(backColor_);
        if (!image_.isNull()) {
            QPainter painter(&resized);
            painter.drawImage(QPointF(0, 0), image_);
        }
        image_ = std::move(resized);
    }
    return image_;
}

const QImage& PictureBox::image() { return canvas(); }


void PictureBox::Cls() {
    canvas().fill(backColor_);
    update();
}

void PictureBox::Circle(double x, double y, double radius) {
    const double pixel = 1 / unitsPerPixel();
    QPainter painter(&canvas());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(foreColor_, drawWidth_));
    painter.setBrush(QBrush(fillColor_, brushStyle(fillStyle_)));
    const double r = std::abs(radius) * pixel;
    painter.drawEllipse(QPointF(x * pixel, y * pixel), r, r);
    update();
}

void PictureBox::Line(double x1, double y1, double x2, double y2, const QColor& color) {
    const double pixel = 1 / unitsPerPixel();
    QPainter painter(&canvas());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, drawWidth_, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(x1 * pixel, y1 * pixel), QPointF(x2 * pixel, y2 * pixel));
    update();
}

QColor PictureBox::Point(double x, double y) {
    const QImage& picture = canvas();
    const double scale = picture.devicePixelRatio() / unitsPerPixel();
    const QPoint pixel(int(std::floor(x * scale)), int(std::floor(y * scale)));
    if (!picture.rect().contains(pixel)) return QColor();
    return picture.pixelColor(pixel);
}

void PictureBox::setFocusMark(bool shown) {
    focusMark_ = shown;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), canvas());
    if (!focusMark_) return;
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const double units = unitsPerPixel();
    const QPointF at = event->position();
    emit mouseMoved(mouseButtonState(event->buttons()), mouseShiftState(event->modifiers()),
                    float(at.x() * units), float(at.y() * units));
}

}  // namespace forms
