#pragma once

#include <QFrame>

namespace forms {

// A bordered container of other controls, like a picture box that holds labels; it may take
// the focus. Assistive technology sees a panel, where a plain frame would count as a window.
class Panel : public QFrame {
    Q_OBJECT

public:
    explicit Panel(QWidget* parent = nullptr);
};

}  // namespace forms
