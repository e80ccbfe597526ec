#pragma once

#include <QPlainTextEdit>

namespace forms {

// A multi-line, word-wrapping text box with a vertical scroll bar. text() gives back exactly
// what was set, line ends included; the box shows each "\r\n" as one line break. Tab moves
// the focus on rather than entering a tab.
class TextBox : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }

    void setLocked(bool locked) { setReadOnly(locked); }
    void setBackColor(const QColor& color);

private:
    QString text_;
};

}  // namespace forms
