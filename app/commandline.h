#pragma once

#include <string>

#include "session/request.h"

// The program's command line: at most one request for the running program, Qt's own options
// besides.
struct CommandLine {
    session::Request request;  // its activation is left to the caller
    bool help = false;
    bool version = false;
    std::string error;  // one line; empty when the command line is right
};

CommandLine parseCommandLine(int argc, char** argv);

// What --help prints.
std::string usage();
// What --version prints.
std::string versionText();
