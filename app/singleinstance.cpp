#include "singleinstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// A running program answers at once; only a hung one keeps a launch waiting this long.
constexpr std::chrono::milliseconds kAnswerWait(10000);
// A launch that connects and says nothing is let go after this.
constexpr int kQuietClientMs = 2000;
constexpr std::size_t kLongestLine = 512;
constexpr std::string_view kTaken = "ok\n";
constexpr std::string_view kNotTaken = "?\n";

std::string errorText(const std::string& what) { return what + ": " + std::strerror(errno); }

// $XDG_RUNTIME_DIR/quorvane, else /tmp/quorvane-<uid>.
std::string folderPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return std::string(runtime) + "/quorvane";
    return "/tmp/quorvane-" + std::to_string(getuid());
}

// The socket's address in the folder; empty when its path does not fit in one.
std::optional<sockaddr_un> socketAddress(const std::string& folder) {
    const std::string path = folder + "/socket";
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// Makes the folder, or checks the one that is there: a directory (not a link) of this user's
// that nobody else may enter. Says why it cannot be used, or nothing.
std::string prepareFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return errorText("cannot make " + folder);
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0) return errorText("cannot read " + folder);
    if (!S_ISDIR(status.st_mode) || status.st_uid != getuid())
        return "cannot use " + folder + ": it is not a folder of this user's";
    if ((status.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0)
        return errorText("cannot make " + folder + " private");
    return {};
}

// Waits for the folder's lock file; -1 when it cannot be had.
int lockFolder(const std::string& folder) {
    const int lock = open((folder + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) return -1;
    while (flock(lock, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        close(lock);
        errno = error;
        return -1;
    }
    return lock;
}

bool fromThisUser(int socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == getuid();
}

// Reads up to the end of the answer line. Empty when the connection ended without an answer,
// nothing when none came in time.
std::optional<std::string> readAnswer(int socket) {
    const Clock::time_point deadline = Clock::now() + kAnswerWait;
    std::string answer;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{socket, POLLIN, 0};
        const int ready = poll(&readable, 1, int(std::max<long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[64];
        const ssize_t size = recv(socket, chunk, sizeof chunk, 0);
        if (size < 0 && errno == EINTR) continue;
        if (size <= 0) return answer;
        answer.append(chunk, std::size_t(size));
        if (answer.find('\n') != std::string::npos || answer.size() > kLongestLine) return answer;
    }
}

// One connected launch. Its line is read as it arrives, answered and then carried out from
// the event loop; a launch that says nothing is let go before long, so it never holds up the
// window.
class Client : public QObject {
public:
    Client(int socket, const std::function<void(const Command&)>& carryOut, QObject* parent)
        : QObject(parent), socket_(socket), carryOut_(carryOut), notifier_(socket, QSocketNotifier::Read) {
        connect(&notifier_, &QSocketNotifier::activated, this, &Client::read);
        connect(&quiet_, &QTimer::timeout, this, &Client::finish);
        quiet_.start(kQuietClientMs);
        read();  // the line often arrives with the connection
    }
    ~Client() override { close(socket_); }

private:
    void read() {
        char chunk[256];
        for (;;) {
            const ssize_t size = recv(socket_, chunk, sizeof chunk, 0);
            if (size < 0 && errno == EINTR) continue;
            if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (size <= 0) return finish();
            line_.append(chunk, std::size_t(size));
            const std::size_t end = line_.find('\n');
            if (end != std::string::npos) return answer(line_.substr(0, end));
            if (line_.size() > kLongestLine) return finish();
        }
    }

    // Malformed or unknown lines are answered as not taken and change nothing.
    void answer(const std::string& line) {
        const std::optional<Command> command = Command::fromLine(line);
        const std::string_view reply = command ? kTaken : kNotTaken;
        send(socket_, reply.data(), reply.size(), MSG_NOSIGNAL);
        if (command)
            QMetaObject::invokeMethod(parent(), [carryOut = carryOut_, command] { carryOut(*command); },
                                      Qt::QueuedConnection);
        finish();
    }

    void finish() {
        notifier_.setEnabled(false);
        quiet_.stop();
        deleteLater();
    }

    int socket_;
    const std::function<void(const Command&)>& carryOut_;
    QSocketNotifier notifier_;
    QTimer quiet_;
    std::string line_;
};

}  // namespace

SingleInstance::SingleInstance() : folder_(folderPath()), address_(socketAddress(folder_)) {}

SingleInstance::~SingleInstance() {
    releaseLock();
    if (listener_ >= 0) close(listener_);
}

SingleInstance::Outcome SingleInstance::deliver(Command command) {
    if (!address_) {
        fail("cannot use " + folder_ + ": the path is too long");
        return Outcome::kUnreachable;
    }
    if (const std::string problem = prepareFolder(folder_); !problem.empty()) {
        fail(problem);
        return Outcome::kUnreachable;
    }
    lock_ = lockFolder(folder_);
    if (lock_ < 0) {
        fail(errorText("cannot lock " + folder_));
        return Outcome::kUnreachable;
    }
    if (const char* id = std::getenv("DESKTOP_STARTUP_ID")) command.startupId = id;
    const Outcome outcome = exchange(command.toLine() + '\n');
    if (outcome != Outcome::kNotRunning) releaseLock();
    return outcome;
}

// Nobody listening, or somebody else, counts as not running, and so does a program that closes
// the connection without an answer: it is ending. Its socket is taken over.
SingleInstance::Outcome SingleInstance::exchange(const std::string& line) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        fail(errorText("cannot make a socket"));
        return Outcome::kUnreachable;
    }
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&*address_), sizeof *address_) != 0 ||
        !fromThisUser(socket)) {
        close(socket);
        return Outcome::kNotRunning;
    }
    send(socket, line.data(), line.size(), MSG_NOSIGNAL);
    const std::optional<std::string> answer = readAnswer(socket);
    close(socket);
    if (answer == std::string(kTaken)) return Outcome::kDelivered;
    if (answer && answer->empty()) return Outcome::kNotRunning;
    fail(answer ? "is running but did not take the command" : "is running but does not answer");
    return Outcome::kNoAnswer;
}

bool SingleInstance::serve(std::function<void(const Command&)> carryOut) {
    if (lock_ < 0) return false;
    carryOut_ = std::move(carryOut);
    const bool listening = listen();
    releaseLock();
    if (!listening) return false;
    auto* notifier = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptClients);
    return true;
}

// Whatever is at the socket's path is a leftover: under the lock, nobody answered there.
bool SingleInstance::listen() {
    const std::string path = address_->sun_path;
    unlink(path.c_str());
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ >= 0 &&
        bind(listener_, reinterpret_cast<const sockaddr*>(&*address_), sizeof *address_) == 0 &&
        chmod(path.c_str(), 0600) == 0 && ::listen(listener_, SOMAXCONN) == 0)
        return true;
    fail(errorText("cannot listen on " + path));
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
    return false;
}

void SingleInstance::acceptClients() {
    for (;;) {
        const int client = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0 && (errno == EINTR || errno == ECONNABORTED)) continue;
        if (client < 0) return;
        if (fromThisUser(client))
            new Client(client, carryOut_, this);
        else
            close(client);
    }
}

void SingleInstance::fail(const std::string& what) { failure_ = "Quorvane " + what + "."; }

void SingleInstance::releaseLock() {
    if (lock_ >= 0) close(lock_);
    lock_ = -1;
}
