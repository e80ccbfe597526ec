#pragma once

#include <optional>
#include <string>
#include <string_view>

// What one launch of the program asks for: its window, or a command for the running program.
// The running program receives it as one line of text: the verb, its argument where it takes
// one, and the desktop's startup-notification id of the launch where there is one.
struct Command {
    enum class Action { kShow, kPlay, kStop, kCalls };

    Action action = Action::kShow;
    std::string argument;   // the sound (car, dogs, answer) or on/off
    std::string startupId;  // the desktop's startup-notification id of the launch, if any

    // Whether the launch starts the program when none runs.
    bool startsProgram() const;

    std::string toLine() const;
    // Empty for anything but a well-formed command.
    static std::optional<Command> fromLine(std::string_view line);
};

// The program's command line: at most one command, Qt's own options besides.
struct CommandLine {
    Command command;
    bool help = false;
    std::string error;  // one line; empty when the command line is right
};

CommandLine parseCommandLine(int argc, char** argv);

// The options, as --help lists them.
std::string usage();
