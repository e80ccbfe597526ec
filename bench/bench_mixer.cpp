#include <QElapsedTimer>

#include <vector>

#include "benchmark.h"
#include "mixer/clsvolume.h"
#include "pulseserver.h"

namespace {

// One VolumeLevel write plus one read, against one pactl set-sink-volume plus one
// get-sink-volume in the same run.
void mixerRoundTrip() {
    const int original = testsupport::sinkVolume();
    clsVolume volume;
    std::vector<double> ours;
    QElapsedTimer timer;
    for (int i = 0; i < 200; ++i) {
        timer.start();
        volume.VolumeLevel(655 * (i % 100));
        volume.VolumeLevel();
        ours.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::vector<double> theirs;
    for (int i = 0; i < 10; ++i) {
        timer.start();
        testsupport::pactl({"set-sink-volume", "@DEFAULT_SINK@", QString::number(i * 5) + "%"});
        testsupport::pactl({"get-sink-volume", "@DEFAULT_SINK@"});
        theirs.push_back(timer.nsecsElapsed() / 1e6);
    }
    testsupport::pactl({"set-sink-volume", "@DEFAULT_SINK@", QString::number(original)});
    bench::report("mixer_roundtrip_us", bench::median(ours));
    bench::report("pactl_roundtrip_ms", bench::median(theirs));
}

bench::Register registerMixer("mixer", mixerRoundTrip);

}  // namespace
