#pragma once

#include <QGroupBox>

namespace forms {

// A captioned frame that contains controls; its children are placed from its top left
// corner, caption band included.
class Frame : public QGroupBox {
    Q_OBJECT

public:
    explicit Frame(const QString& caption, QWidget* parent = nullptr);
};

}  // namespace forms
