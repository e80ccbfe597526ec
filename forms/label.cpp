#include "label.h"

namespace forms {

Label::Label(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setFocusPolicy(Qt::NoFocus);
}

void Label::setCaption(const QString& text) {
    setText(text);
    if (autoSize_) adjustSize();
}

void Label::setAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    setWordWrap(!autoSize);
    if (autoSize_) adjustSize();
}

void Label::setForeColor(const QColor& color) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, color);
    setPalette(colours);
}

}  // namespace forms
