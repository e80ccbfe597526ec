#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Timing clips where they are heard.
namespace bench {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point from, Clock::time_point to);

// Clip `number` as the program stores it, as 16-bit samples.
std::vector<std::int16_t> storedSamples(int number);

// Where the first sound of clip `number` lies after its start, in milliseconds.
double openingMs(int number);

// Median over several trials of the time from `start()` to the first sound on `source` (the
// default sink's monitor unless named), less `openingMs`, the silence the clip itself opens
// with. `stop()` ends each trial; the source must be silent again when it returns.
double firstSampleMs(const std::function<void()>& start, const std::function<void()>& stop,
                     double openingMs, const std::string& source = "@DEFAULT_MONITOR@");

}  // namespace bench
