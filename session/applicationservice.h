#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "request.h"

namespace session {

// The program's name and object on the session bus.
inline constexpr char kBusName[] = "org.example.quorvane";
inline constexpr char kObjectPath[] = "/org/example/quorvane";

// One program per session. A launch hands its request to the running program, which owns the
// program's name on the session bus and answers the desktop's org.freedesktop.Application
// there: Activate brings the window to the front; ActivateAction takes car, dogs, answer and
// stop (no parameter) and calls (a boolean); Open is refused. The bus is served on a thread
// of its own, so a flood of calls never holds up the window, and requests reach the window
// from its event loop, merged when they come faster than it carries them out.
class ApplicationService : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        kDelivered,   // the running program took the request
        kNotRunning,  // no program owns the name
        kNoAnswer,    // one does but did not take the request; failure() says why
        kNoBus,       // no session bus answers
    };
    enum class Claim { kOwned, kTaken, kNoBus };

    ApplicationService();
    ~ApplicationService() override;

    // Hands the request to the running program, waiting a few seconds at most for its answer.
    // Needs no application object.
    Outcome deliver(const Request& request);

    // Asks for the program's name: kOwned makes this process the running program, whose
    // requests wait until serve(); kTaken means another one runs.
    Claim claim();

    // Hands every request that arrives to `carryOut`, from the event loop, one batch at a
    // time: of the requests that arrived since the last batch, the latest of each kind (calls,
    // sound, activation) in that order, since a later one overrides an earlier one; so a flood
    // of calls takes neither time nor memory. Needs the application object.
    void serve(std::function<void(const Request&)> carryOut);

    // A sentence on what went wrong, after kNoAnswer or Claim::kNoBus.
    const std::string& failure() const { return failure_; }

    // Called on the bus's thread with a request that arrived.
    void receive(const Request& request);

private:
    struct Bus;
    // What waits for the event loop: the latest request of each kind, and the startup ids of
    // launches whose requests a later one overtook.
    struct Pending {
        std::optional<Request> calls;
        std::optional<Request> sound;  // play or stop
        std::optional<Request> activation;
        std::vector<std::string> overtaken;
    };

    bool connect();
    // Asks the event loop for a batch where one waits; under the mutex.
    void scheduleLocked();
    void carryOutPending();

    std::unique_ptr<Bus> bus_;
    std::string failure_;
    std::function<void(const Request&)> carryOut_;
    std::mutex mutex_;                // guards pending_ and scheduled_
    Pending pending_;
    bool scheduled_ = false;
    bool carryingOut_ = false;
};

}  // namespace session
