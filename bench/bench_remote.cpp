// A command from another launch: from starting `quorvane --play dogs` while the program runs
// to the dogs clip's first sample at the speakers, on a null sink of the benchmark's own, as
// first_sample_ms times the player alone.
#include <QCoreApplication>
#include <QProcess>

#include <thread>

#include "benchmark.h"
#include "firstsample.h"
#include "pulseserver.h"
#include "scopednullsink.h"

namespace {

using namespace std::chrono_literals;

// The stop clicks last under half a second; after them the speakers are silent.
constexpr auto kClicks = 600ms;

QString program() { return QCoreApplication::applicationDirPath() + "/../app/quorvane"; }

int launch(const QStringList& arguments) {
    QProcess process;
    process.start(program(), arguments);
    if (!process.waitForFinished(15000)) process.kill();
    process.waitForFinished();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Starts the program and waits until it answers other launches.
bool startProgram(QProcess& running) {
    running.start(program(), {});
    for (int i = 0; i < 100 && running.state() != QProcess::NotRunning; ++i) {
        if (launch({"--stop"}) == 0) {
            std::this_thread::sleep_for(kClicks);
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

void remotePlay() {
    if (!testsupport::serverReachable()) {
        std::fprintf(stderr, "bench_remote: no sound server reachable\n");
        return;
    }
    testsupport::ScopedNullSink sink("quorvane_bench_remote", 22050);
    QProcess running;
    if (sink.isLoaded() && startProgram(running)) {
        QProcess play;
        bench::report("remote_play_ms",
                      bench::firstSampleMs([&] { play.start(program(), {"--play", "dogs"}); },
                                           [&] {
                                               play.waitForFinished();
                                               launch({"--stop"});
                                               std::this_thread::sleep_for(kClicks);
                                           },
                                           bench::openingMs(103)));
    }
    running.terminate();
    if (!running.waitForFinished(5000)) running.kill();
    running.waitForFinished();
}

const bench::Register registration("remote", remotePlay);

}  // namespace
