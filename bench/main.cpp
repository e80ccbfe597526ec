#include "benchmark.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <map>

namespace bench {

namespace {
std::map<std::string, Benchmark>& registry() {
    static std::map<std::string, Benchmark> benchmarks;
    return benchmarks;
}
}  // namespace

Register::Register(const std::string& name, Benchmark run) { registry()[name] = std::move(run); }

// QUORVANE_BENCH_SUFFIX tells figures of one server from another's in the same run.
void report(const std::string& name, double value) {
    static const QByteArray suffix = qgetenv("QUORVANE_BENCH_SUFFIX");
    std::printf("%s%s %.3f\n", name.c_str(), suffix.constData(), value);
    std::fflush(stdout);
}

double median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

}  // namespace bench

// Runs every registered benchmark, or those named on the command line.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList wanted = app.arguments().mid(1);
    for (const auto& [name, run] : bench::registry())
        if (wanted.isEmpty() || wanted.contains(QString::fromStdString(name))) run();
    return 0;
}
