#pragma once

#include <string>

namespace session {

// What the desktop hands a program started or called at the user's request so that its window
// may come to the front: an X11 startup-notification id and a Wayland activation token. Either
// may be empty.
struct Activation {
    std::string startupId;
    std::string activationToken;
};

// What a launch or the desktop asks of the running program.
struct Request {
    enum class Action { kActivate, kPlay, kStop, kCalls };

    Action action = Action::kActivate;
    std::string sound;  // car, dogs or answer, for kPlay
    bool on = false;    // for kCalls: play into calls, or no longer
    Activation activation;

    // Whether a launch with this request starts the program when none runs.
    bool startsProgram() const { return action == Action::kActivate || action == Action::kPlay; }
};

}  // namespace session
