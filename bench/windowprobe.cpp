#include "windowprobe.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

long residentKilobytes() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // The window reaches the screen once this paint and its flush are done.
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("first_paint_ns %lld\n",
                            static_cast<long long>(std::chrono::nanoseconds(now).count()));
                QTimer::singleShot(100, [] {
                    std::printf("rss_kb %ld\n", residentKilobytes());
                    std::fflush(stdout);
                    std::_Exit(0);
                });
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

}  // namespace

int runWindowProbe(int argc, char** argv, const std::function<std::unique_ptr<QWidget>()>& makeWindow) {
    QApplication application(argc, argv);
    const std::unique_ptr<QWidget> window = makeWindow();
    FirstPaint watch;
    window->installEventFilter(&watch);
    window->show();
    return application.exec();
}

}  // namespace bench
