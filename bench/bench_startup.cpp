// Start-up of the program: from starting its process to the first paint of the main window,
// and the resident memory once the window is shown, beside the same figures of a bare Qt
// Widgets window. Medians over several starts of each, taken in turns.
#include <QCoreApplication>
#include <QProcess>

#include <chrono>

#include "benchmark.h"

namespace {

constexpr int kStarts = 7;

struct Start {
    double firstPaintMs = -1;
    double rssMb = -1;
};

Start startOnce(const QString& probe) {
    QProcess process;
    const auto started = std::chrono::steady_clock::now();
    process.start(probe, {});
    Start result;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    const auto startedNs = std::chrono::nanoseconds(started.time_since_epoch()).count();
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 2) continue;
        if (fields[0] == "first_paint_ns")
            result.firstPaintMs = (fields[1].toLongLong() - startedNs) / 1e6;
        else if (fields[0] == "rss_kb")
            result.rssMb = fields[1].toLong() / 1024.0;
    }
    return result;
}

// The starts of one probe.
struct Starts {
    std::vector<double> paints;
    std::vector<double> rss;

    void add(const Start& start) {
        if (start.firstPaintMs < 0 || start.rssMb < 0) return;
        paints.push_back(start.firstPaintMs);
        rss.push_back(start.rssMb);
    }

    void report(const std::string& prefix) const {
        if (paints.empty()) return;
        bench::report(prefix + "_first_paint_ms", bench::median(paints));
        bench::report(prefix + "_rss_mb", bench::median(rss));
    }
};

void benchStartup() {
    const QString directory = QCoreApplication::applicationDirPath();
    Starts program;
    Starts minimal;
    for (int i = 0; i < kStarts; ++i) {
        program.add(startOnce(directory + "/quorvane-startup-probe"));
        minimal.add(startOnce(directory + "/quorvane-minimal-probe"));
    }
    program.report("startup");
    minimal.report("qt_minimal");
}

const bench::Register registration("startup", benchStartup);

}  // namespace
