#include "shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace platform {

namespace {

// How long the caller waits to learn whether the new program's image was loaded.
constexpr int kStartReportMs = 5000;

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct GFreeDeleter {
    void operator()(void* memory) const { g_free(memory); }
};
using OwnedText = std::unique_ptr<char, GFreeDeleter>;

std::string temporaryDirectory() {
    const char* configured = std::getenv("TMPDIR");
    std::string directory = configured && *configured ? configured : "/tmp";
    if (directory.back() != '/') directory += '/';
    return directory;
}

bool isDirectory(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

// The file's type as its name tells it, as the association goes by the name; only a name
// that tells nothing lets the contents decide. (An empty file's contents would always say
// plain text.)
OwnedText contentType(const std::string& path) {
    OwnedText byName(g_content_type_guess(path.c_str(), nullptr, 0, nullptr));
    if (byName && !g_content_type_is_unknown(byName.get())) return byName;
    GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GObjectPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* sniffed = info ? g_file_info_get_content_type(info.get()) : nullptr;
    return sniffed ? OwnedText(g_strdup(sniffed)) : std::move(byName);
}

// The full path of the program behind a handler, or empty when it is not on disk: the first
// word of the handler's command line, quotes removed, so that a path with blanks stays whole.
std::string executablePath(GAppInfo* handler) {
    std::string executable;
    const char* commandLine = g_app_info_get_commandline(handler);
    char** words = nullptr;
    if (commandLine && g_shell_parse_argv(commandLine, nullptr, &words, nullptr) && words[0])
        executable = words[0];
    g_strfreev(words);
    if (executable.empty() && g_app_info_get_executable(handler))
        executable = g_app_info_get_executable(handler);
    if (executable.empty()) return {};
    OwnedText found(g_find_program_in_path(executable.c_str()));
    return found ? std::string(found.get()) : std::string();
}

// A copy of a desktop handler that starts in `directory`; other handlers as they are.
GObjectPtr<GAppInfo> runningIn(GAppInfo* handler, const char* directory) {
    g_object_ref(handler);
    GObjectPtr<GAppInfo> same(handler);
    if (!directory || !*directory || !G_IS_DESKTOP_APP_INFO(handler)) return same;
    const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(handler));
    if (!file) return same;
    std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> entry(g_key_file_new(), g_key_file_free);
    if (!g_key_file_load_from_file(entry.get(), file, G_KEY_FILE_NONE, nullptr)) return same;
    g_key_file_set_string(entry.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_PATH,
                          directory);
    GDesktopAppInfo* moved = g_desktop_app_info_new_from_keyfile(entry.get());
    return moved ? GObjectPtr<GAppInfo>(G_APP_INFO(moved)) : std::move(same);
}

std::vector<std::string> splitAtBlanks(const char* line) {
    std::vector<std::string> words;
    std::string word;
    for (const char* c = line; c && *c; ++c) {
        if (*c != ' ') {
            word += *c;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

// What the helper processes tell the caller through the report pipe.
struct StartReport {
    enum Kind : int { kStarted, kForkFailed, kExecFailed } kind;
    long value;  // the started process id, or the errno of the failure
};

void report(int pipe, StartReport::Kind kind, long value) {
    const StartReport message{kind, value};
    [[maybe_unused]] ssize_t written = write(pipe, &message, sizeof message);
}

// In the new process, between fork and exec: only async-signal-safe calls.
[[noreturn]] void execute(const char* program, char* const* argv, const char* directory,
                          int reportPipe, int descriptorLimit) {
    setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int signal : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &standard, nullptr);
    if (directory && chdir(directory) != 0) {
        report(reportPipe, StartReport::kExecFailed, errno);
        _exit(127);
    }
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < descriptorLimit; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    execv(program, argv);
    report(reportPipe, StartReport::kExecFailed, errno);
    _exit(127);
}

// Reads the helpers' reports until both have closed the pipe (or the bound passes). The
// started process id, or 0 when a step failed.
long readStartReports(int pipe) {
    long started = 0;
    bool failed = false;
    for (;;) {
        pollfd ready{pipe, POLLIN, 0};
        const int polled = poll(&ready, 1, kStartReportMs);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) break;
        StartReport message{};
        const ssize_t got = read(pipe, &message, sizeof message);
        if (got < 0 && errno == EINTR) continue;
        if (got != ssize_t(sizeof message)) break;
        if (message.kind == StartReport::kStarted)
            started = message.value;
        else
            failed = true;
    }
    return failed ? 0 : started;
}

}  // namespace

std::uint32_t GetTempPathA(std::uint32_t bufferLength, char* buffer) {
    const std::string directory = temporaryDirectory();
    if (!buffer || directory.size() + 1 > bufferLength) return std::uint32_t(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return std::uint32_t(directory.size());
}

int FindExecutableA(const char* file, const char* directory, char* result, std::size_t resultSize) {
    if (result && resultSize) result[0] = '\0';
    if (!file || !*file) return SE_ERR_FNF;
    std::string path = file;
    if (path.front() != '/') {
        std::string folder = directory && *directory ? directory : ".";
        if (!isDirectory(folder)) return SE_ERR_PNF;
        if (folder.back() != '/') folder += '/';
        path = folder + path;
    }
    if (!exists(path)) return SE_ERR_FNF;

    const OwnedText type = contentType(path);
    if (!type) return SE_ERR_NOASSOC;
    GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_type(type.get(), FALSE));
    if (!handler) return SE_ERR_NOASSOC;
    const std::string program = executablePath(handler.get());
    if (program.empty()) return SE_ERR_NOASSOC;
    if (!result || program.size() + 1 > resultSize) return SE_ERR_FNF;
    std::memcpy(result, program.c_str(), program.size() + 1);
    return kShellSuccess;
}

// The program is started by a short-lived helper process that the caller reaps at once, so
// the program itself is adopted by init and never becomes the caller's zombie. A pipe closed
// on exec tells the caller whether the program's image was loaded.
bool CreateProcessA(const char* applicationName, const char* commandLine,
                    const char* currentDirectory, ProcessInformation* processInformation) {
    if (processInformation) *processInformation = {};
    std::vector<std::string> words = splitAtBlanks(commandLine);
    if (applicationName && *applicationName) words.insert(words.begin(), applicationName);
    if (words.empty()) return false;
    const std::string program = words.front();
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const long openMax = sysconf(_SC_OPEN_MAX);
    const int descriptorLimit = openMax > 0 && openMax < 65536 ? int(openMax) : 65536;

    int reportPipe[2];
    if (pipe2(reportPipe, O_CLOEXEC) != 0) return false;
    const pid_t helper = fork();
    if (helper == 0) {
        close(reportPipe[0]);
        const pid_t started = fork();
        if (started == 0)
            execute(program.c_str(), argv.data(), currentDirectory, reportPipe[1], descriptorLimit);
        if (started > 0)
            report(reportPipe[1], StartReport::kStarted, started);
        else
            report(reportPipe[1], StartReport::kForkFailed, errno);
        _exit(0);
    }
    close(reportPipe[1]);
    if (helper < 0) {
        close(reportPipe[0]);
        return false;
    }
    while (waitpid(helper, nullptr, 0) < 0 && errno == EINTR) {
    }
    const long started = readStartReports(reportPipe[0]);
    close(reportPipe[0]);
    if (started <= 0) return false;
    if (processInformation) processInformation->processId = started;
    return true;
}

int ShellExecuteA(std::uintptr_t, const char*, const char* file, const char*,
                  const char* directory, int) {
    if (!file || !*file) return SE_ERR_FNF;
    const char* scheme = g_uri_peek_scheme(file);
    if (!scheme) return SE_ERR_NOASSOC;
    GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_uri_scheme(scheme));
    if (!handler) return SE_ERR_NOASSOC;
    const GObjectPtr<GAppInfo> launcher = runningIn(handler.get(), directory);
    GList uris{const_cast<char*>(file), nullptr, nullptr};
    if (!g_app_info_launch_uris(launcher.get(), &uris, nullptr, nullptr)) return SE_ERR_FNF;
    return kShellSuccess;
}

}  // namespace platform
