#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>

#include "clsknob.h"

namespace forms {
class PictureBox;
}

// A rotary knob: a face on the child surface Knob1 that a circular left-button drag turns one
// step per mouse move. The host sets and reads the value through the public methods and hears
// of every change through Changed(), raised synchronously. With the focus, the arrow keys and
// the wheel move it one step, Page Up and Page Down ten, Home and End to its ends.
class Knob : public QWidget {
    Q_OBJECT

public:
    explicit Knob(QWidget* parent = nullptr);
    ~Knob() override;

    void SetBackColor(int color);
    void SetMode(int NewMode);
    void SetStep(int NewStep);
    // Throws the overflow error, before it redraws or raises Changed, when NewVal is too large
    // to convert.
    void SetVal(int NewVal);
    int KnobValue();

    forms::PictureBox* surface() const { return Knob1; }
    CLSKNOB& knobGeometry();
    std::int32_t dragCounter() const { return dragCount; }
    std::int32_t faceSize() const { return sizeIndex; }
    // The largest value of the current mode, 0 for a mode that converts nothing.
    int maximumValue() const;

signals:
    void Changed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Knob1_MouseMove(int button, int shift, float X, float Y);
    void redraw();
    void stepBy(std::int64_t steps);
    void showValue(std::int64_t value);
    void raiseChanged();
    void fold();

    forms::PictureBox* Knob1;
    std::int32_t dragCount = 0;
    float lastX = 0;
    float lastY = 0;
    std::unique_ptr<CLSKNOB> geometry;
    std::int32_t sizeIndex = 0;
    std::int32_t mode = 1;
    std::int32_t step = 1;
    int wheelRemainder_ = 0;
};
