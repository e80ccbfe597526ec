#pragma once

#include <QString>

#include "base/replaceable.h"

namespace forms {

// The application title, used where a window needs the program's name.
QString applicationTitle();

// Prepares the running QApplication for the program's windows: title, look, fonts, and the
// time of the user's input that launches of other programs carry.
void initApplication();

// How the program ends.
class ProcessExit {
public:
    virtual ~ProcessExit() = default;

    // Ends the process at once with `code`: only the hooks set with at_quick_exit run, and
    // nothing is destroyed.
    virtual void ExitProcess(int code);
};

// The process's end: the real one unless a test has put a recorder in its place.
extern base::Replaceable<ProcessExit> processExit;

}  // namespace forms
