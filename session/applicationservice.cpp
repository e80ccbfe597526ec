#include "applicationservice.h"

#include <gio/gio.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "launchcontext.h"

namespace session {

namespace {

constexpr char kInterface[] = "org.freedesktop.Application";
// A running program answers at once; only a hung one keeps a launch waiting this long.
constexpr int kAnswerWaitMs = 3000;
// Longest startup id or activation token passed on; longer ones are not the desktop's.
constexpr std::size_t kLongestId = 255;
constexpr guint32 kDoNotQueue = 4;  // DBUS_NAME_FLAG_DO_NOT_QUEUE
constexpr guint32 kPrimaryOwner = 1;
constexpr guint32 kAlreadyOwner = 4;
// Launches whose requests were overtaken and whose startup notification is ended, at most.
constexpr std::size_t kMostOvertaken = 64;

constexpr char kIntrospection[] =
    "<node>"
    " <interface name='org.freedesktop.Application'>"
    "  <method name='Activate'>"
    "   <arg type='a{sv}' name='platform_data' direction='in'/>"
    "  </method>"
    "  <method name='Open'>"
    "   <arg type='as' name='uris' direction='in'/>"
    "   <arg type='a{sv}' name='platform_data' direction='in'/>"
    "  </method>"
    "  <method name='ActivateAction'>"
    "   <arg type='s' name='action_name' direction='in'/>"
    "   <arg type='av' name='parameter' direction='in'/>"
    "   <arg type='a{sv}' name='platform_data' direction='in'/>"
    "  </method>"
    " </interface>"
    "</node>";

const char* const kSounds[] = {"car", "dogs", "answer"};

GDBusInterfaceInfo* interfaceInfo() {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    return node->interfaces[0];
}

// One word of visible ASCII, as the desktop makes its ids and tokens.
bool isDesktopId(std::string_view id) {
    return !id.empty() && id.size() <= kLongestId &&
           std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 127; });
}

std::string textAt(GVariant* platformData, const char* key) {
    const char* value = nullptr;
    if (!g_variant_lookup(platformData, key, "&s", &value) || !isDesktopId(value)) return {};
    return value;
}

Activation activationOf(GVariant* platformData) {
    return {textAt(platformData, "desktop-startup-id"), textAt(platformData, "activation-token")};
}

GVariant* platformDataOf(const Activation& activation) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    if (isDesktopId(activation.startupId))
        g_variant_builder_add(&builder, "{sv}", "desktop-startup-id",
                              g_variant_new_string(activation.startupId.c_str()));
    if (isDesktopId(activation.activationToken))
        g_variant_builder_add(&builder, "{sv}", "activation-token",
                              g_variant_new_string(activation.activationToken.c_str()));
    return g_variant_builder_end(&builder);
}

// The action's request, from its name and parameter; none for anything but a known action
// with the parameter it takes.
std::optional<Request> actionRequest(std::string_view name, GVariant* parameter) {
    Request request;
    const gsize count = g_variant_n_children(parameter);
    if (name == "calls") {
        if (count != 1) return std::nullopt;
        GVariant* boxed = g_variant_get_child_value(parameter, 0);
        GVariant* value = g_variant_get_variant(boxed);
        const bool isBoolean = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN);
        if (isBoolean) request.on = g_variant_get_boolean(value);
        g_variant_unref(value);
        g_variant_unref(boxed);
        if (!isBoolean) return std::nullopt;
        request.action = Request::Action::kCalls;
        return request;
    }
    if (count != 0) return std::nullopt;
    if (name == "stop") {
        request.action = Request::Action::kStop;
        return request;
    }
    if (std::find(std::begin(kSounds), std::end(kSounds), name) == std::end(kSounds))
        return std::nullopt;
    request.action = Request::Action::kPlay;
    request.sound = name;
    return request;
}

// Answers a call on the bus's thread: at once, whatever the window is doing.
void handleMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                      GVariant* parameters, GDBusMethodInvocation* invocation, gpointer service) {
    const std::string_view name = method;
    std::optional<Request> request;
    GVariant* platformData = nullptr;
    if (name == "Activate") {
        request.emplace();
        platformData = g_variant_get_child_value(parameters, 0);
    } else if (name == "ActivateAction") {
        const char* action = nullptr;
        GVariant* parameter = nullptr;
        g_variant_get(parameters, "(&s@av@a{sv})", &action, &parameter, &platformData);
        request = actionRequest(action, parameter);
        g_variant_unref(parameter);
        if (!request) {
            g_variant_unref(platformData);
            return g_dbus_method_invocation_return_dbus_error(
                invocation, "org.freedesktop.DBus.Error.InvalidArgs",
                "Quorvane's actions are car, dogs, answer and stop, without a parameter, and "
                "calls, with a boolean.");
        }
    } else {
        return g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.DBus.Error.NotSupported", "Quorvane opens no files.");
    }
    request->activation = activationOf(platformData);
    g_variant_unref(platformData);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    static_cast<ApplicationService*>(service)->receive(*request);
}

const GDBusInterfaceVTable kVTable = {handleMethodCall, nullptr, nullptr, {}};

// The method and parameters that carry the request.
std::pair<const char*, GVariant*> callOf(const Request& request) {
    GVariant* platformData = platformDataOf(request.activation);
    if (request.action == Request::Action::kActivate)
        return {"Activate", g_variant_new("(@a{sv})", platformData)};
    GVariantBuilder parameter;
    g_variant_builder_init(&parameter, G_VARIANT_TYPE("av"));
    if (request.action == Request::Action::kCalls)
        g_variant_builder_add(&parameter, "v", g_variant_new_boolean(request.on));
    const char* action = request.action == Request::Action::kPlay   ? request.sound.c_str()
                         : request.action == Request::Action::kStop ? "stop"
                                                                    : "calls";
    return {"ActivateAction",
            g_variant_new("(s@av@a{sv})", action, g_variant_builder_end(&parameter), platformData)};
}

}  // namespace

struct ApplicationService::Bus {
    GDBusConnection* connection = nullptr;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    guint registration = 0;
    std::thread thread;

    ~Bus() {
        if (loop) {
            // Quit from inside the loop: a quit before the thread enters it would be lost.
            GSource* quit = g_idle_source_new();
            g_source_set_callback(
                quit,
                [](gpointer running) -> gboolean {
                    g_main_loop_quit(static_cast<GMainLoop*>(running));
                    return G_SOURCE_REMOVE;
                },
                loop, nullptr);
            g_source_attach(quit, context);
            g_source_unref(quit);
            thread.join();
            g_main_loop_unref(loop);
        }
        if (registration) g_dbus_connection_unregister_object(connection, registration);
        if (context) g_main_context_unref(context);
        if (connection) g_object_unref(connection);
    }

    // Serves the program's object from a thread of its own.
    bool serve(ApplicationService* service, std::string* failure) {
        context = g_main_context_new();
        g_main_context_push_thread_default(context);
        GError* error = nullptr;
        registration = g_dbus_connection_register_object(connection, kObjectPath, interfaceInfo(),
                                                         &kVTable, service, nullptr, &error);
        g_main_context_pop_thread_default(context);
        if (!registration) {
            *failure = std::string("Quorvane cannot serve the session bus: ") + error->message + '.';
            g_error_free(error);
            return false;
        }
        loop = g_main_loop_new(context, FALSE);
        thread = std::thread([this] {
            g_main_context_push_thread_default(context);
            g_main_loop_run(loop);
            g_main_context_pop_thread_default(context);
        });
        return true;
    }
};

ApplicationService::ApplicationService() = default;

// The bus's thread ends first: it calls receive().
ApplicationService::~ApplicationService() { bus_.reset(); }

bool ApplicationService::connect() {
    if (bus_) return true;
    GError* error = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!connection) {
        failure_ = std::string("no session bus answers (") + error->message + ").";
        g_error_free(error);
        return false;
    }
    // A bus that goes away ends the remote control, not the program.
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    bus_ = std::make_unique<Bus>();
    bus_->connection = connection;
    return true;
}

ApplicationService::Outcome ApplicationService::deliver(const Request& request) {
    if (!connect()) return Outcome::kNoBus;
    const auto [method, parameters] = callOf(request);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus_->connection, kBusName, kObjectPath, kInterface,
                                                  method, parameters, nullptr,
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, kAnswerWaitMs,
                                                  nullptr, &error);
    if (reply) {
        g_variant_unref(reply);
        return Outcome::kDelivered;
    }
    const bool notRunning = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                            g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
    const bool late = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY);
    failure_ = late ? "Quorvane is running but does not answer."
                    : std::string("Quorvane is running but did not take the command (") +
                          error->message + ").";
    g_error_free(error);
    return notRunning ? Outcome::kNotRunning : Outcome::kNoAnswer;
}

ApplicationService::Claim ApplicationService::claim() {
    if (!connect()) {
        failure_ = "Quorvane runs alone: " + failure_;
        return Claim::kNoBus;
    }
    // The object is in place before the name, so that the first call finds it.
    if (!bus_->registration && !bus_->serve(this, &failure_)) return Claim::kNoBus;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_->connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", kBusName, kDoNotQueue), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kAnswerWaitMs, nullptr, &error);
    if (!reply) {
        failure_ = std::string("Quorvane cannot take its name on the session bus: ") + error->message + '.';
        g_error_free(error);
        return Claim::kNoBus;
    }
    guint32 answer = 0;
    g_variant_get(reply, "(u)", &answer);
    g_variant_unref(reply);
    return answer == kPrimaryOwner || answer == kAlreadyOwner ? Claim::kOwned : Claim::kTaken;
}

void ApplicationService::serve(std::function<void(const Request&)> carryOut) {
    const std::lock_guard lock(mutex_);
    carryOut_ = std::move(carryOut);
    scheduleLocked();
}

// A request takes the place of a waiting one of its kind, whose launch, if the desktop
// announced one, is then only ended.
void ApplicationService::receive(const Request& request) {
    const std::lock_guard lock(mutex_);
    std::optional<Request>& slot = request.action == Request::Action::kCalls      ? pending_.calls
                                   : request.action == Request::Action::kActivate ? pending_.activation
                                                                                  : pending_.sound;
    if (slot && !slot->activation.startupId.empty() && pending_.overtaken.size() < kMostOvertaken)
        pending_.overtaken.push_back(slot->activation.startupId);
    slot = request;
    scheduleLocked();
}

void ApplicationService::scheduleLocked() {
    const bool waiting = pending_.calls || pending_.sound || pending_.activation;
    if (!carryOut_ || scheduled_ || !waiting) return;
    scheduled_ = true;
    QMetaObject::invokeMethod(this, &ApplicationService::carryOutPending, Qt::QueuedConnection);
}

// One batch per turn of the event loop, so that the window's own events come in between. A
// call from a nested event loop (a handler waiting on a dialog) leaves the batch to the
// running one, which schedules what arrived meanwhile when it is done.
void ApplicationService::carryOutPending() {
    Pending batch;
    {
        const std::lock_guard lock(mutex_);
        scheduled_ = false;
        if (carryingOut_) return;
        std::swap(batch, pending_);
    }
    for (const std::string& startupId : batch.overtaken) endLaunch(startupId);
    carryingOut_ = true;
    for (const std::optional<Request>& request : {batch.calls, batch.sound, batch.activation})
        if (request) carryOut_(*request);
    carryingOut_ = false;
    const std::lock_guard lock(mutex_);
    scheduleLocked();
}

}  // namespace session
