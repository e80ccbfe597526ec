#include "mopenurl.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "launch.h"
#include "session/shell.h"

namespace mOpenURL {

namespace {

const char kMarkerName[] = "dummy.html";
const char kSystemTemporaryDirectory[] = "/tmp/";
constexpr int kTempPathLength = 256;
constexpr int kFoundAbove = 32;

// What the marker lookup found.
struct Browser {
    int code = session::SE_ERR_PNF;
    QByteArray program;
    std::string desktopEntry;
};

bool createEmptyMarker(const QByteArray& path) {
    const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    return true;
}

// A fresh folder that only this call can have made, in the temporary directory or, where that
// cannot be used (relative, missing, read-only, too long for its buffer), in the system's; its
// path ends with '/'. Empty when neither will do.
QByteArray makePrivateFolder(const QByteArray& temporaryDirectory) {
    for (const QByteArray& base : {temporaryDirectory, QByteArray(kSystemTemporaryDirectory)}) {
        if (!base.startsWith('/')) continue;
        QByteArray folder = base + "quorvane-XXXXXX";
        if (mkdtemp(folder.data())) return folder + '/';
    }
    return {};
}

// Creates the marker, asks for its program and deletes the marker again. The marker goes into
// a private folder, so a file or link that someone placed in the shared temporary directory
// is never followed, emptied or deleted. A file step that fails gives a code of 32 or less:
// nothing is started then.
Browser lookUpThroughMarker(const QByteArray& temporaryDirectory) {
    Browser browser;
    const QByteArray folder = makePrivateFolder(temporaryDirectory);
    if (folder.isEmpty()) return browser;
    const QByteArray marker = folder + kMarkerName;
    browser.code = session::SE_ERR_FNF;
    if (createEmptyMarker(marker)) {
        QByteArray program(session::MAX_PATH, ' ');
        browser.code = session::FindExecutableA(kMarkerName, folder.constData(), program.data(),
                                                session::MAX_PATH, &browser.desktopEntry);
        browser.program = CutAtNul(program);
        if (unlink(marker.constData()) != 0) browser.code = session::SE_ERR_ACCESSDENIED;
    }
    if (rmdir(folder.constData()) != 0) browser.code = session::SE_ERR_ACCESSDENIED;
    return browser;
}

}  // namespace

bool OpenWebAddress(const QString& address) {
    const QByteArray uri = address.toLocal8Bit();
    std::string handler = session::SchemeHandler(uri.constData());
    if (handler.empty()) {
        const Browser browser = lookUpThroughMarker(GetTempDirectory());
        if (browser.code <= kFoundAbove) return false;
        handler = browser.desktopEntry;
    }
    return session::LaunchDesktopEntry(handler.c_str(), uri.constData(), nullptr,
                                       about::launchAnnouncer());
}

QByteArray FindDefaultBrowser(int& resultCode) {
    const Browser browser = lookUpThroughMarker(GetTempDirectory());
    resultCode = browser.code;
    return browser.program;
}

QByteArray GetTempDirectory() {
    QByteArray buffer(kTempPathLength, ' ');
    session::GetTempPathA(kTempPathLength, buffer.data());
    return CutAtNul(buffer);
}

QByteArray CutAtNul(const QByteArray& text) {
    const qsizetype nul = text.indexOf('\0');
    return nul < 0 ? text : text.left(nul);
}

}  // namespace mOpenURL
