#include <QApplication>
#include <QTest>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "app/form1.h"
#include "benchmark.h"
#include "firstsample.h"
#include "forms/application.h"
#include "forms/label.h"
#include "forms/picturebox.h"
#include "knob/knob.h"
#include "mousemove.h"
#include "pulseserver.h"

namespace {

using bench::Clock;

// The default sink's volume as another client of the server sees it: a connection of its
// own that hears every change of a sink and notes when each new volume arrived.
class SinkWatcher {
public:
    SinkWatcher() : loop_(pa_threaded_mainloop_new()) {
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "quorvane-bench watcher");
        pa_context_set_state_callback(context_, onState, this);
        pa_context_set_subscribe_callback(context_, onEvent, this);
        pa_threaded_mainloop_lock(loop_);
        pa_threaded_mainloop_start(loop_);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            while (pa_context_get_state(context_) != PA_CONTEXT_READY &&
                   PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
                pa_threaded_mainloop_wait(loop_);
        }
        ready_ = pa_context_get_state(context_) == PA_CONTEXT_READY;
        if (ready_) {
            pa_operation_unref(pa_context_subscribe(context_, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr));
            query();
        }
        pa_threaded_mainloop_unlock(loop_);
    }

    ~SinkWatcher() {
        pa_threaded_mainloop_lock(loop_);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_threaded_mainloop_unlock(loop_);
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }

    bool ready() const { return ready_; }

    // When the sink was first seen at this volume, waiting at most a second for it.
    bool waitFor(pa_volume_t volume, Clock::time_point& seenAt) {
        std::unique_lock<std::mutex> guard(seen_);
        const bool seen = changed_.wait_for(guard, std::chrono::seconds(1),
                                            [&] { return volume_ == volume; });
        seenAt = seenAt_;
        return seen;
    }

private:
    void query() {
        pa_operation_unref(
            pa_context_get_sink_info_by_name(context_, "@DEFAULT_SINK@", onSinkInfo, this));
    }

    static void onState(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<SinkWatcher*>(self)->loop_, 0);
    }

    static void onEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* self) {
        static_cast<SinkWatcher*>(self)->query();
    }

    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* watcher = static_cast<SinkWatcher*>(self);
        if (eol || !info) return;
        const pa_volume_t volume = pa_cvolume_max(&info->volume);
        {
            std::lock_guard<std::mutex> guard(watcher->seen_);
            if (volume == watcher->volume_) return;
            watcher->volume_ = volume;
            watcher->seenAt_ = Clock::now();
        }
        watcher->changed_.notify_all();
    }

    pa_threaded_mainloop* loop_;
    pa_context* context_ = nullptr;
    bool ready_ = false;
    std::mutex seen_;
    std::condition_variable changed_;
    pa_volume_t volume_ = PA_VOLUME_INVALID;
    Clock::time_point seenAt_;
};

pa_volume_t serverVolume(std::int32_t level) {
    return pa_volume_t((std::uint64_t(level) * PA_VOLUME_NORM + 65535 / 2) / 65535);
}

// A left-button move on the main window's knob, alternating direction so the volume changes
// every time, timed until the watcher sees the new volume at the server.
void knobToSink() {
    if (!testsupport::serverReachable()) {
        std::fprintf(stderr, "knob_to_sink_ms: no sound server\n");
        return;
    }
    testsupport::pactl({"set-sink-volume", "@DEFAULT_SINK@", "50%"});
    SinkWatcher watcher;
    if (!watcher.ready()) return;
    forms::initApplication();
    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return;
    QApplication::processEvents();

    forms::PictureBox* face = form.sldMain->surface();
    std::vector<double> samples;
    std::int32_t value = form.sldMain->KnobValue();
    for (int i = 0; i < 200; ++i) {
        const QPointF at(i % 2 ? 20 : 30, 10);
        QMouseEvent event = testsupport::mouseMove(face, at);
        const std::int32_t previous = value;
        const Clock::time_point moved = Clock::now();
        QApplication::sendEvent(face, &event);
        value = form.sldMain->KnobValue();
        Clock::time_point seen;
        if (value == previous || !watcher.waitFor(serverVolume(value * 655), seen)) continue;
        samples.push_back(bench::msBetween(moved, seen));
    }
    std::sort(samples.begin(), samples.end());
    bench::report("knob_to_sink_ms", bench::median(samples));
    if (!samples.empty()) bench::report("knob_to_sink_p90_ms", samples[samples.size() * 9 / 10]);
    bench::report("knob_to_sink_seen", double(samples.size()));
}

// The longest paint of the main window while the server stands still for a second: every
// paint reads the volume and mute and writes the level back, none of which may wait.
void stallPaint() {
    const long pid = qEnvironmentVariable("QUORVANE_SOUND_SERVER_PID").toLong();
    if (pid <= 0 || !testsupport::serverReachable()) {
        std::fprintf(stderr, "stall_paint_ms: no sound server of known process\n");
        return;
    }
    forms::initApplication();
    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return;
    QTest::qWait(300);
    double longest = 0;
    testsupport::ServerStall stall;
    const Clock::time_point end = Clock::now() + std::chrono::seconds(1);
    while (Clock::now() < end) {
        const Clock::time_point start = Clock::now();
        form.repaint();
        longest = std::max(longest, bench::msBetween(start, Clock::now()));
        QTest::qWait(20);
    }
    bench::report("stall_paint_ms", longest);
}

// From a volume set by another program (pactl, once it has its answer) to the label showing it.
void outsideChange() {
    if (!testsupport::serverReachable()) return;
    forms::initApplication();
    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return;
    QTest::qWait(300);
    std::vector<double> samples;
    for (int i = 0; i < 20; ++i) {
        const int percent = 30 + (i % 2) * 20;
        const QString expected = QString::number(percent) + '%';
        testsupport::pactl({"set-sink-volume", "@DEFAULT_SINK@", expected});
        const Clock::time_point set = Clock::now();
        while (form.lblVolume->text() != expected && Clock::now() - set < std::chrono::seconds(2))
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (form.lblVolume->text() == expected)
            samples.push_back(bench::msBetween(set, Clock::now()));
    }
    bench::report("outside_change_ms", bench::median(samples));
}

const bench::Register registerKnobToSink("knob_to_sink", knobToSink);
const bench::Register registerOutsideChange("outside_change", outsideChange);
const bench::Register registerStallPaint("stall_paint", stallPaint);

}  // namespace
