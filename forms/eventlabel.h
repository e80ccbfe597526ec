#pragma once

#include "label.h"

namespace forms {

// A label whose handlers hear the pointer moving over it and clicks on it. It follows the
// pointer with no button held, and the moves it hears do not reach the window below it.
// Made a link, it serves keyboard and assistive technology users as well: Tab reaches it, a
// focus mark shows while it has the focus, Enter and Space click it, and assistive technology
// sees a link named by its text that can be pressed. A mouse click never moves the focus.
class EventLabel : public Label {
    Q_OBJECT

public:
    explicit EventLabel(const QString& text, QWidget* parent = nullptr);

    // Before the label is first shown: assistive technology keeps the interface it first gets.
    void makeLink();
    bool isLink() const { return link_; }
    // A click as the left button makes it.
    void click() { emit clicked(); }

signals:
    // Button state, shift state and the position in twips from the label's top left.
    void mouseMoved(int button, int shift, float x, float y);
    // A left-button press and release over the label.
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressed_ = false;
    bool link_ = false;
};

}  // namespace forms
