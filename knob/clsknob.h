#pragma once

#include <array>
#include <cstdint>

namespace forms {
class DrawingSurface;
}

// A mode's resolution: degrees per value unit, the intercept of the angle-to-value line and
// the largest value the sweep reaches.
struct KnobScale {
    double unit;
    std::int32_t intercept;
    std::int32_t maximum;
};

// The scale of a mode (0: 0 to 10, 1: 0 to 100, 2: 0 to 1000), or null for a mode that
// converts nothing.
const KnobScale* knobScale(std::int32_t mode);

// The geometry behind a knob: the pointer angle, the tables that turn an angle into a point on
// the face, and the conversion between angle and value in three resolutions (mode 0: 0 to 10,
// mode 1: 0 to 100, mode 2: 0 to 1000). Angles are degrees: 0 below the centre, 90 right,
// 180 above; 315 shows the value 0 and 45 the maximum. Every field starts at zero.
class CLSKNOB {
public:
    std::array<double, 360> sinTable{};
    std::array<double, 360> cosTable{};
    std::int32_t tableIndex = 0;
    float angle = 0;
    std::int32_t lastValue = 0;
    std::int32_t innerRadius = 0;
    std::int32_t outerRadius = 0;
    float centerX = 0;
    float centerY = 0;
    float pointerX1 = 0;
    float pointerY1 = 0;
    float pointerX2 = 0;
    float pointerY2 = 0;

    // Fills the tables (with pi taken as 3.14) and sets the angle to 315.
    void BuildTable();
    // The value that the current angle shows in the mode; 0 for an unknown mode. Throws the
    // overflow error when the value leaves the 32-bit range.
    std::int32_t GetValue(const std::int32_t& mode) const;
    // Sets the angle that shows val, without the end stop; the next draw applies it. Throws
    // the overflow error, leaving the angle as it was, when the arithmetic overflows.
    void SetValue(const std::int32_t& mode, const std::int32_t& val);
    // Clears PB and draws the face, first turning the pointer one step towards Value's side of
    // lastValue. Each step runs on its own: a step that fails is skipped and the rest still
    // run, so this never fails towards its caller.
    void drawKnob(forms::DrawingSurface& PB, const std::int32_t& Value, const std::int32_t& mode,
                  const std::int32_t& step, const std::int32_t& size);

private:
    void turn(std::int32_t Value, std::int32_t mode, std::int32_t step);
    void applyEndStop();
    void chooseRadii(std::int32_t size);
    void placePointer();
};
