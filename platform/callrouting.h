#pragma once

#include <QObject>
#include <QString>

#include <chrono>

namespace platform {

// The program's sounds into calls: a virtual microphone "Quorvane microphone" that carries the
// user's microphone mixed with every clip the program plays, while the speakers sound as
// before. What it loads on the sound server goes when it is turned off or the program ends,
// and what a former run left behind is removed as soon as a server is there.
class CallRouting : public QObject {
    Q_OBJECT

public:
    static CallRouting& instance();

    // Turns it on; false at once, and nothing changes, when no sound server answers. It comes
    // back by itself after the server restarts, until disable().
    bool enable();
    void disable();
    bool isEnabled() const;

    // Removes what was loaded and waits, at most `bound`, for the server to confirm it.
    void shutdown(std::chrono::milliseconds bound);

signals:
    // The server refused it; it is off again. Raised on the sound thread.
    void failed(const QString& reason);
    // It turned on or off by itself: at start a call still used the microphone of a former
    // run, which is taken over, or someone else removed it. Raised on the sound thread.
    void turned(bool on);

private:
    CallRouting();
};

}  // namespace platform
