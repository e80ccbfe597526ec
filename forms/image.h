#pragma once

#include <QLabel>

namespace forms {

// An image that stretches its picture to its own box; it never takes the focus.
class Image : public QLabel {
    Q_OBJECT

public:
    explicit Image(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture) { setPixmap(picture); }
};

}  // namespace forms
