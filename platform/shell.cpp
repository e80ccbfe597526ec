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

using Words = std::vector<std::string>;

// The words of a handler's command line, quoted as a shell quotes them.
Words commandWords(GAppInfo* handler) {
    Words words;
    const char* commandLine = g_app_info_get_commandline(handler);
    char** parsed = nullptr;
    if (commandLine && g_shell_parse_argv(commandLine, nullptr, &parsed, nullptr))
        for (char** word = parsed; *word; ++word) words.emplace_back(*word);
    g_strfreev(parsed);
    return words;
}

bool isEnv(const std::string& word) {
    return word == "env" || (word.size() > 4 && word.compare(word.size() - 4, 4, "/env") == 0);
}

// The program a command starts: its first word, or for `env NAME=value ... program` (as snap
// packages' entries start) the word after the settings.
std::string commandProgram(const Words& words) {
    std::size_t program = 0;
    if (!words.empty() && isEnv(words.front())) {
        program = 1;
        while (program < words.size() && words[program].find('=') != std::string::npos) ++program;
    }
    return program < words.size() ? words[program] : std::string();
}

// The full path of a program named by a command's word, or empty when it is not on disk.
std::string programPath(const std::string& word) {
    if (word.empty()) return {};
    OwnedText found(g_find_program_in_path(word.c_str()));
    return found ? std::string(found.get()) : std::string();
}

// The full path of the program behind a handler, or empty when it is not on disk.
std::string executablePath(GAppInfo* handler) {
    std::string program = commandProgram(commandWords(handler));
    if (program.empty() && g_app_info_get_executable(handler))
        program = g_app_info_get_executable(handler);
    return programPath(program);
}

// The desktop entry file of a handler, or empty for a handler that has none.
std::string entryFile(GAppInfo* handler) {
    if (!G_IS_DESKTOP_APP_INFO(handler)) return {};
    const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(handler));
    return file ? std::string(file) : std::string();
}

std::string entryString(GDesktopAppInfo* entry, const char* key) {
    OwnedText value(g_desktop_app_info_get_string(entry, key));
    return value ? std::string(value.get()) : std::string();
}

std::string joined(const Words& words) {
    std::string line;
    for (const std::string& word : words) line += (line.empty() ? "" : " ") + word;
    return line;
}

// The entry's command with its field codes filled in: the file and URL codes take `files`
// (a code standing alone gives one argument per file), %c the entry's name, %k its file and
// %i "--icon" and its icon; %% is a percent sign, and the deprecated or unknown codes vanish
// with an argument they leave empty. A command without a file or URL code takes the files
// after its arguments.
Words expandFieldCodes(GDesktopAppInfo* entry, const Words& command, const Words& files) {
    Words expanded;
    bool filesPlaced = false;
    const auto placeFiles = [&] {
        filesPlaced = true;
        expanded.insert(expanded.end(), files.begin(), files.end());
    };
    for (const std::string& word : command) {
        if (word == "%f" || word == "%F" || word == "%u" || word == "%U") {
            placeFiles();
            continue;
        }
        const std::string icon = word == "%i" ? entryString(entry, "Icon") : std::string();
        if (!icon.empty()) {
            expanded.insert(expanded.end(), {"--icon", icon});
            continue;
        }
        std::string argument;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                argument += word[i];
                continue;
            }
            switch (word[++i]) {
            case '%': argument += '%'; break;
            case 'f': case 'F': case 'u': case 'U':
                filesPlaced = true;
                argument += joined(files);
                break;
            case 'c':
                if (const char* name = g_app_info_get_name(G_APP_INFO(entry))) argument += name;
                break;
            case 'k': argument += g_desktop_app_info_get_filename(entry); break;
            default: break;
            }
        }
        if (!argument.empty() || word.empty()) expanded.push_back(argument);
    }
    if (!filesPlaced) placeFiles();
    return expanded;
}

// The caller's environment for a started program, its own launch context left out and the
// new one put in.
Words launchEnvironment(const LaunchContext& context) {
    Words environment;
    for (char** variable = environ; *variable; ++variable) {
        const std::string setting = *variable;
        if (setting.rfind("DESKTOP_STARTUP_ID=", 0) != 0 &&
            setting.rfind("XDG_ACTIVATION_TOKEN=", 0) != 0)
            environment.push_back(setting);
    }
    if (!context.startupId.empty()) environment.push_back("DESKTOP_STARTUP_ID=" + context.startupId);
    if (!context.activationToken.empty())
        environment.push_back("XDG_ACTIVATION_TOKEN=" + context.activationToken);
    return environment;
}

std::vector<char*> pointersTo(Words& words) {
    std::vector<char*> pointers;
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

Words splitAtBlanks(const char* line) {
    Words words;
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
[[noreturn]] void execute(const char* program, char* const* argv, char* const* environment,
                          const char* directory, int reportPipe, int descriptorLimit) {
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
    execve(program, argv, environment);
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

// Starts `program` (a full path) with `arguments` (the first names the program to itself) in
// `directory` (the caller's when null). The program is started by a short-lived helper
// process that the caller reaps at once, so the program itself is adopted by init and never
// becomes the caller's zombie. A pipe closed on exec tells the caller whether the program's
// image was loaded. The started process id, or 0.
long startProcess(const std::string& program, Words arguments, Words environment,
                  const char* directory) {
    const std::vector<char*> argv = pointersTo(arguments);
    const std::vector<char*> envp = pointersTo(environment);
    const long openMax = sysconf(_SC_OPEN_MAX);
    const int descriptorLimit = openMax > 0 && openMax < 65536 ? int(openMax) : 65536;

    int reportPipe[2];
    if (pipe2(reportPipe, O_CLOEXEC) != 0) return 0;
    const pid_t helper = fork();
    if (helper == 0) {
        close(reportPipe[0]);
        const pid_t started = fork();
        if (started == 0)
            execute(program.c_str(), argv.data(), envp.data(), directory, reportPipe[1],
                    descriptorLimit);
        if (started > 0)
            report(reportPipe[1], StartReport::kStarted, started);
        else
            report(reportPipe[1], StartReport::kForkFailed, errno);
        _exit(0);
    }
    close(reportPipe[1]);
    if (helper < 0) {
        close(reportPipe[0]);
        return 0;
    }
    while (waitpid(helper, nullptr, 0) < 0 && errno == EINTR) {
    }
    const long started = readStartReports(reportPipe[0]);
    close(reportPipe[0]);
    return started > 0 ? started : 0;
}

// Starts a desktop entry's program on `files`; the started process id, or 0.
long launch(const char* desktopEntry, const Words& files, const char* directory,
            const LaunchContext& context) {
    if (!desktopEntry || !*desktopEntry) return 0;
    GObjectPtr<GDesktopAppInfo> entry(g_desktop_app_info_new_from_filename(desktopEntry));
    if (!entry) return 0;
    const Words command = commandWords(G_APP_INFO(entry.get()));
    const Words arguments = expandFieldCodes(entry.get(), command, files);
    const std::string program = arguments.empty() ? std::string() : programPath(arguments.front());
    if (program.empty()) return 0;
    const std::string path = entryString(entry.get(), G_KEY_FILE_DESKTOP_KEY_PATH);
    if ((!directory || !*directory) && !path.empty()) directory = path.c_str();
    return startProcess(program, arguments, launchEnvironment(context), directory);
}

}  // namespace

std::uint32_t GetTempPathA(std::uint32_t bufferLength, char* buffer) {
    const std::string directory = temporaryDirectory();
    if (!buffer || directory.size() + 1 > bufferLength) return std::uint32_t(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return std::uint32_t(directory.size());
}

int FindExecutableA(const char* file, const char* directory, char* result, std::size_t resultSize,
                    std::string* desktopEntry) {
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
    if (desktopEntry) *desktopEntry = entryFile(handler.get());
    return kShellSuccess;
}

bool LaunchDesktopEntry(const char* desktopEntry, const char* commandLine,
                        const char* currentDirectory, const LaunchContext& context,
                        ProcessInformation* processInformation) {
    const long started = launch(desktopEntry, splitAtBlanks(commandLine), currentDirectory, context);
    if (processInformation) processInformation->processId = started;
    return started != 0;
}

int ShellExecuteA(std::uintptr_t, const char*, const char* file, const char*,
                  const char* directory, int, const LaunchContext& context) {
    if (!file || !*file) return SE_ERR_FNF;
    const char* scheme = g_uri_peek_scheme(file);
    if (!scheme) return SE_ERR_NOASSOC;
    GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_uri_scheme(scheme));
    if (!handler) return SE_ERR_NOASSOC;
    const std::string entry = entryFile(handler.get());
    return launch(entry.c_str(), {file}, directory, context) ? kShellSuccess : SE_ERR_FNF;
}

}  // namespace platform
