// The dogs loop (clip 103) played by the program's sound player in a process of its own,
// beside paplay playing a WAV file that holds the same clip repeated: the CPU time and the
// context switches of the playing process over 30 s, summed over its threads from /proc.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

#include <chrono>
#include <thread>

#include "benchmark.h"
#include "wavefile.h"
#include "platform/riffreader.h"
#include "pulseserver.h"
#include "sounds/cliptable.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kDogs = 103;
constexpr auto kSettle = 1s;  // time for the player to connect and start sounding
constexpr auto kMeasured = 30s;

// What the threads of a process have used so far: time on a CPU and context switches.
struct Usage {
    double cpuSeconds = 0;
    long long contextSwitches = 0;
    Clock::time_point at;
};

QByteArray readProcFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first field of a thread's schedstat is its time on a CPU in nanoseconds, exact where
// the tick-counted times of /proc/<pid>/stat show a quiet player as 0.
double cpuSeconds(const QString& task) {
    return readProcFile(task + "/schedstat").split(' ').first().toLongLong() / 1e9;
}

long long contextSwitches(const QString& task) {
    long long total = 0;
    for (const QByteArray& line : readProcFile(task + "/status").split('\n'))
        if (line.startsWith("voluntary_ctxt_switches:") ||
            line.startsWith("nonvoluntary_ctxt_switches:"))
            total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    return total;
}

Usage usage(qint64 pid) {
    Usage used;
    const QDir tasks(QString("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        used.cpuSeconds += cpuSeconds(tasks.filePath(task));
        used.contextSwitches += contextSwitches(tasks.filePath(task));
    }
    used.at = Clock::now();
    return used;
}

// Starts the player, lets it settle and reports what it uses while it plays for kMeasured.
void measure(const QString& program, const QStringList& arguments, const std::string& prefix) {
    QProcess player;
    player.start(program, arguments);
    if (!player.waitForStarted(5000)) return;
    std::this_thread::sleep_for(kSettle);
    const Usage before = usage(player.processId());
    std::this_thread::sleep_for(kMeasured);
    const Usage after = usage(player.processId());
    const bool playedThrough = player.state() == QProcess::Running;
    player.kill();
    player.waitForFinished(2000);
    if (!playedThrough) return;
    const double seconds = std::chrono::duration<double>(after.at - before.at).count();
    bench::report(prefix + "_cpu_percent", 100 * (after.cpuSeconds - before.cpuSeconds) / seconds);
    bench::report(prefix + "_wakeups_per_s",
                  double(after.contextSwitches - before.contextSwitches) / seconds);
}

// A WAV file in the clip's own format holding its samples repeated for at least `length`.
QByteArray repeatedClip(int number, std::chrono::seconds length) {
    const platform::WaveClip clip = platform::readWave(sounds::findClip(number)).clip;
    const QByteArray once(reinterpret_cast<const char*>(clip.samples.data()),
                          qsizetype(clip.samples.size()));
    const qsizetype bytesPerSecond = clip.sampleRate * clip.bytesPerSample();
    QByteArray samples;
    while (samples.size() < bytesPerSecond * length.count()) samples += once;

    return testsupport::waveFile(samples, clip.sampleRate, clip.bitsPerSample);
}

void benchLoop() {
    if (!testsupport::serverReachable()) {
        std::fprintf(stderr, "bench_loop: no sound server reachable\n");
        return;
    }
    measure(QCoreApplication::applicationDirPath() + "/quorvane-loop-probe", {}, "loop");

    QTemporaryFile file(QDir::tempPath() + "/quorvane-bench-XXXXXX.wav");
    if (!file.open()) return;
    file.write(repeatedClip(kDogs, kSettle + kMeasured + 2s));
    file.flush();
    measure("paplay", {file.fileName()}, "paplay_loop");
}

const bench::Register registration("loop", benchLoop);

}  // namespace
