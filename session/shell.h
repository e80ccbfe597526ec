#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "request.h"

namespace session {

// Longest path the shell calls hand back, terminating NUL included.
constexpr std::size_t MAX_PATH = 260;

// Result codes of the shell calls: a value above 32 means success.
constexpr int SE_ERR_OOM = 0;
constexpr int SE_ERR_FNF = 2;   // the file was not found
constexpr int SE_ERR_PNF = 3;   // the directory was not found
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_NOASSOC = 31;  // no program is associated with the file or scheme
constexpr int kShellSuccess = 42;

constexpr int SW_SHOWNORMAL = 1;

// The user's temporary directory ($TMPDIR, else /tmp) with a trailing '/', written to
// `buffer` with a terminating NUL when it fits in `bufferLength` characters. Returns the
// length without the NUL, or the length needed with the NUL when the buffer is too small
// (and then writes nothing).
std::uint32_t GetTempPathA(std::uint32_t bufferLength, char* buffer);

// The program that the desktop opens `file` with (`file` relative to `directory`, which may
// lack its trailing '/'), as a full path followed by a NUL in `result`: the program that the
// handler's command starts. With `desktopEntry`, also the handler's desktop entry file,
// through which it is started. Returns kShellSuccess when a program was found; SE_ERR_FNF
// when the file is missing or the program's path does not fit, SE_ERR_PNF when the directory
// is missing, SE_ERR_NOASSOC when no program is associated.
int FindExecutableA(const char* file, const char* directory, char* result,
                    std::size_t resultSize = MAX_PATH, std::string* desktopEntry = nullptr);

// The desktop entry file of the desktop's handler for the scheme of `uri` ("http:...",
// "mailto:..."), or empty when `uri` names no scheme or none is set for it.
std::string SchemeHandler(const char* uri);

// How a launch tells the desktop about the program it starts, for handlers whose entry says
// they take part in startup notification: `announce` is called with the name the desktop shows
// for the program and gives the context to hand it; `withdraw` is called with that context
// when the program could not be started after all. Either may be empty.
struct LaunchAnnouncer {
    std::function<Activation(const std::string& name)> announce;
    std::function<void(const Activation&)> withdraw;
};

// Starts the handler of a desktop entry (a .desktop file) on `uri` as the desktop starts it:
// GIO expands and quotes its Exec line, opens a terminal for Terminal=true and activates it
// over D-Bus where the entry says so. The program runs in `currentDirectory` where one is
// given, else in the entry's Path or the caller's directory. It is nobody's child: never
// waited for, never left a zombie. True when it was started.
bool LaunchDesktopEntry(const char* desktopEntry, const char* uri, const char* currentDirectory,
                        const LaunchAnnouncer& announcer = {});

// Opens `file`, a URI such as "mailto:someone@example.org", with the desktop's default
// handler for its scheme, started as LaunchDesktopEntry starts it, in `directory`. `window`,
// `operation` (null for the default action) and `parameters` are the call's usual companions
// and unused here. Returns kShellSuccess when the handler was started, SE_ERR_NOASSOC when
// there is none or `file` names no scheme, SE_ERR_FNF when it could not be started.
int ShellExecuteA(std::uintptr_t window, const char* operation, const char* file,
                  const char* parameters, const char* directory, int showCommand,
                  const LaunchAnnouncer& announcer = {});

}  // namespace session
