#pragma once

#include <QLabel>

namespace forms {

// A text label: word-wrapped from its top left corner, never taking the focus. With auto-size
// on it fits itself to its text whenever the text is set.
class Label : public QLabel {
    Q_OBJECT

public:
    explicit Label(const QString& text, QWidget* parent = nullptr);

    void setCaption(const QString& text);
    void setAutoSize(bool autoSize);
    void setForeColor(const QColor& color);

private:
    bool autoSize_ = false;
};

}  // namespace forms
