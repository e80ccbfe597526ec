#include "checkbox.h"

namespace forms {

CheckBox::CheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QCheckBox::toggled, this, &CheckBox::clickEvent);
}

void CheckBox::setForeColor(const QColor& color) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, color);
    colours.setColor(QPalette::ButtonText, color);
    setPalette(colours);
}

}  // namespace forms
