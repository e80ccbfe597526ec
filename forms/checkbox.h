#pragma once

#include <QCheckBox>

namespace forms {

// A check box with the value 0 (clear) or 1 (ticked). Its click event is raised whenever the
// value changes, by the user or by code; setting the value it already has raises nothing.
class CheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit CheckBox(const QString& caption, QWidget* parent = nullptr);

    int value() const { return isChecked() ? 1 : 0; }
    void setValue(int value) { setChecked(value != 0); }

    void setForeColor(const QColor& color);

signals:
    void clickEvent();
};

}  // namespace forms
