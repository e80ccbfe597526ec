#pragma once

#include "label.h"

namespace forms {

// A label whose handlers hear the pointer moving over it and clicks on it. It follows the
// pointer with no button held, and the moves it hears do not reach the window below it.
class EventLabel : public Label {
    Q_OBJECT

public:
    explicit EventLabel(const QString& text, QWidget* parent = nullptr);

signals:
    // Button state, shift state and the position in twips from the label's top left.
    void mouseMoved(int button, int shift, float x, float y);
    // A left-button press and release over the label.
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace forms
