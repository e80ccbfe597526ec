#pragma once

#include <QPoint>
#include <QRect>

namespace forms {

// Layouts are in twips, 1/1440 inch; 15 twips make one logical pixel. Qt's device pixel
// ratio maps logical pixels onto a high-density screen.
constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    // Round half away from zero, as the form engine placed controls on whole pixels.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

inline QPoint twipsPoint(int x, int y) { return QPoint(twipsToPixels(x), twipsToPixels(y)); }

}  // namespace forms
