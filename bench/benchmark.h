#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

// One benchmark prints its figures through report(), one "name value" line each.
using Benchmark = std::function<void()>;

void report(const std::string& name, double value);

// Registers a benchmark at static-initialisation time; main() runs them in name order.
struct Register {
    Register(const std::string& name, Benchmark run);
};

// Median of a set of samples.
double median(std::vector<double> samples);

}  // namespace bench
