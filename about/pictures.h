#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace about {

// The side banner of the about window: 77 x 201 pixels, 24 bits per pixel, a night-blue
// band with a telephone handset sending sound waves upwards.
QImage sideBanner();

// The web links' pointer: a pointing hand, 32 x 32 in two colours, its hot spot the
// fingertip at column 12, row 1.
QCursor pointingHandCursor();
QImage pointingHandImage();

// The e-mail link's pointer: a flying envelope, an icon with a 32 x 32 and a 16 x 16 image;
// the pointer shows the larger one with its hot spot in the middle.
QCursor envelopeCursor();
QIcon envelopeIcon();

}  // namespace about
