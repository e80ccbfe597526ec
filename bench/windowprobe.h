#pragma once

#include <QWidget>

#include <functional>
#include <memory>

namespace bench {

// The body of a start-up probe: makes the QApplication, then the window that `makeWindow`
// builds, shows it and reports on standard output the steady-clock time of its first paint
// ("first_paint_ns", nanoseconds) and the resident memory once it is shown ("rss_kb",
// kilobytes); then the process ends at once.
int runWindowProbe(int argc, char** argv, const std::function<std::unique_ptr<QWidget>()>& makeWindow);

}  // namespace bench
