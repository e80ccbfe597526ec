#include "terminationsignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>

namespace {

// The signal handler only writes a byte here; the event loop reads it and closes the window.
int signalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void drainSignalPipe() {
    char bytes[16];
    while (read(signalPipe[0], bytes, sizeof bytes) > 0) continue;
}

void catchUnlessIgnored(int number) {
    struct sigaction current {};
    if (sigaction(number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, nullptr);
}

}  // namespace

void closeOnTerminationSignals(QWidget* window) {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        drainSignalPipe();
        window->close();
    });
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) catchUnlessIgnored(number);
}
