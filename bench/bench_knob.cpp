#include <QApplication>

#include <chrono>
#include <vector>

#include "benchmark.h"
#include "forms/picturebox.h"
#include "knob/knob.h"
#include "mousemove.h"

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// The main window's knob: 855 x 975 twips, face size 4.
void showMainWindowKnob(Knob& knob) {
    knob.resize(57, 65);
    knob.show();
    QApplication::processEvents();
}

const bench::Register drawBench("knob_draw_us", [] {
    Knob knob;
    showMainWindowKnob(knob);
    CLSKNOB& geometry = knob.knobGeometry();
    std::vector<double> samples;
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        geometry.drawKnob(*knob.surface(), i % 2, 1, 1, 4);
        samples.push_back(microseconds(Clock::now() - start));
    }
    bench::report("knob_draw_us", bench::median(samples));
});

// A left-button move in the upper half, alternating direction, timed to the end of Changed.
const bench::Register dragBench("knob_drag_move_us", [] {
    Knob knob;
    showMainWindowKnob(knob);
    Clock::time_point changedAt;
    QObject::connect(&knob, &Knob::Changed, &knob, [&] { changedAt = Clock::now(); });
    forms::PictureBox* surface = knob.surface();
    std::vector<double> samples;
    for (int i = 0; i < 2000; ++i) {
        const QPointF at(i % 2 ? 20 : 30, 10);
        QMouseEvent event = testsupport::mouseMove(surface, at);
        const auto start = Clock::now();
        QApplication::sendEvent(surface, &event);
        samples.push_back(microseconds(changedAt - start));
    }
    bench::report("knob_drag_move_us", bench::median(samples));
});

}  // namespace
