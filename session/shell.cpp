#include "shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace session {

namespace {

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

// The full path of the program that a handler's command starts, its first word as a shell
// reads it (GIO checks the same word when it loads the entry), or empty when it is not on disk.
std::string executablePath(GAppInfo* handler) {
    const char* command = g_app_info_get_commandline(handler);
    char** words = nullptr;
    OwnedText found;
    if (command && g_shell_parse_argv(command, nullptr, &words, nullptr))
        found.reset(g_find_program_in_path(words[0]));
    g_strfreev(words);
    return found ? std::string(found.get()) : std::string();
}

// The desktop entry file of a handler, or empty for a handler that has none.
std::string entryFile(GAppInfo* handler) {
    if (!handler || !G_IS_DESKTOP_APP_INFO(handler)) return {};
    const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(handler));
    return file ? std::string(file) : std::string();
}

using Withdraw = std::function<void(const Activation&)>;

// What a launch context keeps of the launch it serves.
struct Announcement {
    Activation context;
    Withdraw withdraw;
};

const char kAnnouncementKey[] = "quorvane-announcement";

Announcement& announcementOf(GAppLaunchContext* context) {
    return *static_cast<Announcement*>(g_object_get_data(G_OBJECT(context), kAnnouncementKey));
}

// A launch context that hands the started program a startup id and activation token made
// before the launch: GIO asks for the id only for entries that take part in startup
// notification, and reports a start that failed, also one over D-Bus that fails later.
struct AnnouncedLaunchContext {
    GAppLaunchContext parent;
};
struct AnnouncedLaunchContextClass {
    GAppLaunchContextClass parent;
};
G_DEFINE_TYPE(AnnouncedLaunchContext, announced_launch_context, G_TYPE_APP_LAUNCH_CONTEXT)

char* startupNotifyId(GAppLaunchContext* context, GAppInfo*, GList*) {
    const Activation& launch = announcementOf(context).context;
    const std::string& id = launch.startupId.empty() ? launch.activationToken : launch.startupId;
    return id.empty() ? nullptr : g_strdup(id.c_str());
}

void launchFailed(GAppLaunchContext* context, const char*) {
    Announcement& announcement = announcementOf(context);
    const Activation& launch = announcement.context;
    const bool announced = !launch.startupId.empty() || !launch.activationToken.empty();
    if (announced && announcement.withdraw) std::exchange(announcement.withdraw, nullptr)(launch);
}

void announced_launch_context_class_init(AnnouncedLaunchContextClass* type) {
    type->parent.get_startup_notify_id = startupNotifyId;
    type->parent.launch_failed = launchFailed;
}

void announced_launch_context_init(AnnouncedLaunchContext*) {}

// The launch context of one launch: the program gets `launch`'s startup id and activation
// token where it has them, never the ones that started this program.
GObjectPtr<GAppLaunchContext> makeLaunchContext(const Activation& launch, Withdraw withdraw) {
    GObjectPtr<GAppLaunchContext> context(
        G_APP_LAUNCH_CONTEXT(g_object_new(announced_launch_context_get_type(), nullptr)));
    GAppLaunchContext* made = context.get();
    g_app_launch_context_unsetenv(made, "DESKTOP_STARTUP_ID");
    g_app_launch_context_unsetenv(made, "XDG_ACTIVATION_TOKEN");
    if (!launch.activationToken.empty())
        g_app_launch_context_setenv(made, "XDG_ACTIVATION_TOKEN", launch.activationToken.c_str());
    g_object_set_data_full(G_OBJECT(made), kAnnouncementKey,
                           new Announcement{launch, std::move(withdraw)},
                           [](gpointer data) { delete static_cast<Announcement*>(data); });
    return context;
}

// In the new process, before its program runs: only async-signal-safe calls.
void enterDirectory(gpointer directory) {
    [[maybe_unused]] const int entered = chdir(static_cast<const char*>(directory));
}

// Starts `entry` on `uri` in `directory` (where empty, the entry's Path or the caller's),
// announced where the entry takes part in startup notification.
bool launch(GDesktopAppInfo* entry, const char* uri, const char* directory,
            const LaunchAnnouncer& announcer) {
    const bool inDirectory = directory && *directory;
    if (inDirectory && !isDirectory(directory)) return false;
    const bool notifies =
        g_desktop_app_info_get_boolean(entry, G_KEY_FILE_DESKTOP_KEY_STARTUP_NOTIFY);
    const Activation announced = notifies && announcer.announce
        ? announcer.announce(g_app_info_get_display_name(G_APP_INFO(entry)))
        : Activation{};
    const GObjectPtr<GAppLaunchContext> context = makeLaunchContext(announced, announcer.withdraw);
    GList uris{const_cast<char*>(uri), nullptr, nullptr};
    return g_desktop_app_info_launch_uris_as_manager(
        entry, &uris, context.get(), G_SPAWN_SEARCH_PATH, inDirectory ? enterDirectory : nullptr,
        const_cast<char*>(directory), nullptr, nullptr, nullptr);
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

std::string SchemeHandler(const char* uri) {
    const char* scheme = uri ? g_uri_peek_scheme(uri) : nullptr;
    if (!scheme) return {};
    GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_uri_scheme(scheme));
    return entryFile(handler.get());
}

bool LaunchDesktopEntry(const char* desktopEntry, const char* uri, const char* currentDirectory,
                        const LaunchAnnouncer& announcer) {
    if (!desktopEntry || !*desktopEntry || !uri) return false;
    GObjectPtr<GDesktopAppInfo> entry(g_desktop_app_info_new_from_filename(desktopEntry));
    return entry && launch(entry.get(), uri, currentDirectory, announcer);
}

int ShellExecuteA(std::uintptr_t, const char*, const char* file, const char*,
                  const char* directory, int, const LaunchAnnouncer& announcer) {
    if (!file || !*file) return SE_ERR_FNF;
    const std::string handler = SchemeHandler(file);
    if (handler.empty()) return SE_ERR_NOASSOC;
    const bool started = LaunchDesktopEntry(handler.c_str(), file, directory, announcer);
    return started ? kShellSuccess : SE_ERR_FNF;
}

}  // namespace session
