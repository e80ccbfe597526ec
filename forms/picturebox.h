#pragma once

#include <QImage>
#include <QWidget>

#include "drawingsurface.h"
#include "runtimeerror.h"
#include "twips.h"

class QPainter;

namespace forms {

// A drawing surface over a persistent image: what is drawn stays and the widget repaints it
// from the image. Coordinates are in the surface's scale unit (ScaleMode 1 twips, 3 pixels),
// fractional, origin top left, y downwards. The image follows the device pixel ratio, so a
// high-density screen gets a sharp face rather than a scaled one.
class PictureBox : public QWidget, public DrawingSurface {
    Q_OBJECT

public:
    enum ScaleModes { kTwips = 1, kPixels = 3 };
    enum FillStyles {
        kSolid = 0, kTransparent = 1, kHorizontalLine = 2, kVerticalLine = 3,
        kUpwardDiagonal = 4, kDownwardDiagonal = 5, kCross = 6, kDiagonalCross = 7
    };

    explicit PictureBox(QWidget* parent = nullptr);

    bool autoRedraw() const { return autoRedraw_; }
    void setAutoRedraw(bool on) override { autoRedraw_ = on; }
    int drawWidth() const { return drawWidth_; }
    void setDrawWidth(int pixels) override;
    int scaleMode() const { return scaleMode_; }
    void setScaleMode(int mode) override;
    double scaleWidth() const override { return width() * unitsPerPixel(); }
    double scaleHeight() const override { return height() * unitsPerPixel(); }

    QColor backColor() const { return backColor_; }
    void setBackColor(const QColor& color) { backColor_ = color; }
    QColor foreColor() const { return foreColor_; }
    void setForeColor(const QColor& color) { foreColor_ = color; }
    int fillStyle() const { return fillStyle_; }
    void setFillStyle(int style) { fillStyle_ = style; }
    QColor fillColor() const { return fillColor_; }
    void setFillColor(const QColor& color) { fillColor_ = color; }

    void Cls() override;
    void Circle(double x, double y, double radius) override;
    void Line(double x1, double y1, double x2, double y2, const QColor& color) override;
    // The colour drawn at a point in the scale unit.
    QColor Point(double x, double y);

    // The persistent picture, at device resolution.
    const QImage& image();

    // A focus mark drawn over the picture on screen, never into it.
    void setFocusMark(bool shown);

signals:
    // Button state (1 left, 2 right, 4 middle), shift state (1 Shift, 2 Ctrl, 4 Alt) and the
    // position in the scale unit.
    void mouseMoved(int button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    double unitsPerPixel() const { return scaleMode_ == kTwips ? double(kTwipsPerPixel) : 1.0; }
    QImage& canvas();

    QImage image_;
    bool autoRedraw_ = false;
    int drawWidth_ = 1;
    int scaleMode_ = kTwips;
    int fillStyle_ = kTransparent;
    QColor backColor_;
    QColor foreColor_;
    QColor fillColor_ = Qt::black;
    bool focusMark_ = false;
};

}  // namespace forms
