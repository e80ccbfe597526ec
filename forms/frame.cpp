#include "frame.h"

namespace forms {

Frame::Frame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
    setFocusPolicy(Qt::NoFocus);
}

}  // namespace forms
