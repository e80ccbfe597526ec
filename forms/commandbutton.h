#pragma once

#include <QPushButton>

namespace forms {

// A push button. An '&' in the caption marks its access key (Alt + the letter clicks it).
// With the focus, Space and Enter click it. It is never a default button: Enter elsewhere in
// the window and Escape do not click it.
class CommandButton : public QPushButton {
    Q_OBJECT

public:
    explicit CommandButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace forms
