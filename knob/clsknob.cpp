#include "clsknob.h"

#include <cmath>
#include <iterator>

#include "forms/arithmetic.h"
#include "forms/drawingsurface.h"

namespace {

using forms::checkedMul;
using forms::checkedSub;
using forms::roundToInt32;

constexpr double kPi = 3.14;
constexpr float kMinAngle = 45;
constexpr float kMaxAngle = 315;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// Modes 0, 1 and 2. Mode 0's unit is whole: its products are 32-bit integer arithmetic.
constexpr KnobScale kScales[] = {{27, 12, 10}, {2.7, 117, 100}, {0.27, 1167, 1000}};

struct Radii {
    std::int32_t inner;
    std::int32_t outer;
};
constexpr Radii kRadii[] = {{6, 12}, {8, 15}, {9, 18}, {12, 22}, {15, 27}};

// Runs one drawing step; whatever it throws abandons that step only.
template <typename Step>
void isolated(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

const KnobScale* knobScale(std::int32_t mode) {
    return mode >= 0 && mode < std::int32_t(std::size(kScales)) ? &kScales[mode] : nullptr;
}

void CLSKNOB::BuildTable() {
    for (tableIndex = 0; tableIndex <= 359; ++tableIndex) {
        sinTable[tableIndex] = std::sin(tableIndex * kPi / 180);
        cosTable[tableIndex] = std::cos(tableIndex * kPi / 180);
    }
    angle = kMaxAngle;
}

std::int32_t CLSKNOB::GetValue(const std::int32_t& mode) const {
    const KnobScale* scale = knobScale(mode);
    if (!scale) return 0;
    const double x = double(angle) / scale->unit - scale->intercept;
    return roundToInt32(std::abs(x));
}

void CLSKNOB::SetValue(const std::int32_t& mode, const std::int32_t& val) {
    const KnobScale* scale = knobScale(mode);
    if (!scale) return;
    const std::int32_t units = checkedSub(scale->intercept, val);
    if (mode == 0)
        angle = float(checkedMul(std::int32_t(scale->unit), units));
    else
        angle = float(units * scale->unit);
}

void CLSKNOB::turn(std::int32_t Value, std::int32_t mode, std::int32_t step) {
    if (Value == lastValue) return;
    const KnobScale* scale = knobScale(mode);
    if (!scale) return;
    const double stepAngle = mode == 0 ? double(checkedMul(step, std::int32_t(scale->unit)))
                                       : step * scale->unit;
    angle = float(Value > lastValue ? angle - stepAngle : angle + stepAngle);
}

void CLSKNOB::applyEndStop() {
    if (angle > kMaxAngle) angle = kMaxAngle;
    if (!(angle >= kMinAngle)) angle = kMinAngle;
}

void CLSKNOB::chooseRadii(std::int32_t size) {
    if (size < 0 || size > 4) return;
    innerRadius = kRadii[size].inner;
    outerRadius = kRadii[size].outer;
}

void CLSKNOB::placePointer() {
    const std::int32_t i = roundToInt32(angle);
    if (i < 0 || i > 359) throw forms::subscriptOutOfRangeError();
    pointerX1 = float(centerX + double(innerRadius) * sinTable[i]);
    pointerY1 = float(centerY + double(innerRadius) * cosTable[i]);
    pointerX2 = float(centerX + double(outerRadius) * sinTable[i]);
    pointerY2 = float(centerY + double(outerRadius) * cosTable[i]);
}

void CLSKNOB::drawKnob(forms::DrawingSurface& PB, const std::int32_t& Value,
                       const std::int32_t& mode, const std::int32_t& step,
                       const std::int32_t& size) {
    isolated([&] { PB.setAutoRedraw(true); });
    isolated([&] { PB.Cls(); });
    isolated([&] { PB.setDrawWidth(2); });
    isolated([&] { PB.setScaleMode(3); });
    isolated([&] { centerX = float(PB.scaleWidth() / 2); });
    isolated([&] { centerY = float(PB.scaleHeight() / 2); });
    // A failed turn (a mode 0 step that overflows) leaves the angle; the end stop still runs.
    isolated([&] { turn(Value, mode, step); });
    isolated([&] { applyEndStop(); });
    isolated([&] { chooseRadii(size); });
    isolated([&] { placePointer(); });
    isolated([&] { PB.Circle(centerX, centerY, outerRadius); });
    isolated([&] {
        const double ringFactor = size <= 0 ? 0.75 : 0.8;
        PB.Circle(centerX + 0.5, centerY + 0.5, outerRadius * ringFactor);
    });
    isolated([&] {
        PB.Line(pointerX1, pointerY1, pointerX2, pointerY2, forms::fromBgr(kWhite));
    });
    lastValue = Value;
}
