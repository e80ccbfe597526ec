#include "image.h"

namespace forms {

Image::Image(QWidget* parent) : QLabel(parent) {
    setScaledContents(true);
    setFocusPolicy(Qt::NoFocus);
}

}  // namespace forms
