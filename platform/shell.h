#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

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
// lack its trailing '/'), as a full path followed by a NUL in `result`: the first word of the
// handler's command, or the word after `env` and its settings. With `desktopEntry`, also the
// handler's desktop entry file, through which it is started. Returns kShellSuccess when a
// program was found; SE_ERR_FNF when the file is missing or the program's path does not fit,
// SE_ERR_PNF when the directory is missing, SE_ERR_NOASSOC when no program is associated or
// it cannot be found on disk.
int FindExecutableA(const char* file, const char* directory, char* result,
                    std::size_t resultSize = MAX_PATH, std::string* desktopEntry = nullptr);

// What a started process leaves the caller: its process id, 0 when nothing was started.
struct ProcessInformation {
    long processId = 0;
};

// What the desktop hands a program started at the user's request so that its window may come
// to the front: an X11 startup-notification id and a Wayland activation token. Either may be
// empty.
struct LaunchContext {
    std::string startupId;
    std::string activationToken;
};

// Starts the program of a desktop entry (a .desktop file) as its Exec line says, the words of
// `commandLine` (split at blanks, no quoting) standing where its file or URL field code stands,
// or after its arguments when it has none. The program runs in `currentDirectory`, else in the
// entry's Path, else in the caller's directory, with the launch context in DESKTOP_STARTUP_ID
// and XDG_ACTIVATION_TOKEN. It inherits no descriptors but standard input, output and error,
// and is nobody's child: never waited for, never left a zombie. True when it was started.
bool LaunchDesktopEntry(const char* desktopEntry, const char* commandLine,
                        const char* currentDirectory, const LaunchContext& context,
                        ProcessInformation* processInformation);

// Opens `file`, a URI such as "mailto:someone@example.org", with the desktop's default
// handler for its scheme, started as LaunchDesktopEntry starts it, in `directory`. `window`,
// `operation` (null for the default action) and `parameters` are the call's usual companions
// and unused here. Returns kShellSuccess when the handler was started, SE_ERR_NOASSOC when
// there is none or `file` names no scheme, SE_ERR_FNF when it could not be started.
int ShellExecuteA(std::uintptr_t window, const char* operation, const char* file,
                  const char* parameters, const char* directory, int showCommand,
                  const LaunchContext& context = {});

}  // namespace platform
