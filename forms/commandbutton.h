#pragma once

#include <QPushButton>

namespace forms {

// A push button. An '&' in the caption marks its access key (Alt + the letter clicks it).
// It is never a default button: Enter and Escape do not click it.
class CommandButton : public QPushButton {
    Q_OBJECT

public:
    explicit CommandButton(const QString& caption, QWidget* parent = nullptr);
};

}  // namespace forms
