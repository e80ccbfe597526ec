#pragma once

#include <QObject>

#include <sys/un.h>

#include <functional>
#include <optional>
#include <string>

#include "commandline.h"

// One program per user. A launch hands its command to the running program over a socket in
// a private folder of the user's runtime directory, or becomes the running program itself
// when none runs. A lock file in that folder makes "is one running? else become the one" a
// single step for launches at the same moment; a socket that a crashed program left behind is
// taken over.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        kDelivered,    // the running program took the command
        kNotRunning,   // none runs; this launch may become the running program
        kNoAnswer,     // one runs but did not take the command
        kUnreachable,  // the private folder cannot be used; failure() says why
    };

    SingleInstance();
    ~SingleInstance() override;

    // Hands the command, with this launch's startup-notification id, to the running program.
    // Needs no application object. After kNotRunning the lock stays held for serve().
    Outcome deliver(Command command);
    // A sentence on what went wrong, after kNoAnswer or kUnreachable or a failed serve().
    const std::string& failure() const { return failure_; }

    // Becomes the running program: listens on the socket, hands every command that arrives to
    // `carryOut` on the event loop, and releases the lock. Needs the application object. False
    // when other launches cannot reach this program.
    bool serve(std::function<void(const Command&)> carryOut);

private:
    Outcome exchange(const std::string& line);
    bool listen();
    void acceptClients();
    void fail(const std::string& what);
    void releaseLock();

    std::string folder_;
    std::optional<sockaddr_un> address_;  // none when the socket's path is too long
    std::string failure_;
    int lock_ = -1;
    int listener_ = -1;
    std::function<void(const Command&)> carryOut_;
};
