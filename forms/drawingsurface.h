#pragma once

#include <QColor>

#include <cstdint>

namespace forms {

// The members a drawing routine uses on a surface, in the surface's current unit. Every
// member may fail by throwing; callers that must not fail isolate each call.
class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    virtual void setAutoRedraw(bool on) = 0;
    virtual void Cls() = 0;
    virtual void setDrawWidth(int pixels) = 0;
    virtual void setScaleMode(int mode) = 0;
    virtual double scaleWidth() const = 0;
    virtual double scaleHeight() const = 0;
    // Outline in the fore colour at the pen width, interior by fill style and fill colour.
    virtual void Circle(double x, double y, double radius) = 0;
    virtual void Line(double x1, double y1, double x2, double y2, const QColor& color) = 0;
};

// A colour held as 0x00BBGGRR.
inline QColor fromBgr(std::uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

}  // namespace forms
