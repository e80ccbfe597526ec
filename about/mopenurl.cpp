#include "mopenurl.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>

#include <cstdlib>
#include <string>

#include "launch.h"
#include "platform/shell.h"

namespace mOpenURL {

namespace {

const char kMarkerName[] = "dummy.html";
const char kSystemTemporaryDirectory[] = "/tmp/";
constexpr int kTempPathLength = 256;
constexpr int kFoundAbove = 32;

// What the marker lookup found.
struct Browser {
    int code = platform::SE_ERR_PNF;
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
    browser.code = platform::SE_ERR_FNF;
    if (createEmptyMarker(marker)) {
        QByteArray program(platform::MAX_PATH, ' ');
        browser.code = platform::FindExecutableA(kMarkerName, folder.constData(), program.data(),
                                                 platform::MAX_PATH, &browser.desktopEntry);
        browser.program = CutAtNul(program);
        if (unlink(marker.constData()) != 0) browser.code = platform::SE_ERR_ACCESSDENIED;
    }
    if (rmdir(folder.constData()) != 0) browser.code = platform::SE_ERR_ACCESSDENIED;
    return browser;
}

}  // namespace

bool OpenWebAddress(const QString& address) {
    const Browser browser = lookUpThroughMarker(GetTempDirectory());
    if (browser.code <= kFoundAbove) return false;
    const QByteArray commandLine = (QStringLiteral(" ") + address).toLocal8Bit();
    const platform::LaunchContext context =
        about::announceLaunch(QFileInfo(QString::fromLocal8Bit(browser.program)).fileName());
    platform::ProcessInformation process;
    platform::LaunchDesktopEntry(browser.desktopEntry.c_str(), commandLine.constData(), nullptr,
                                 context, &process);
    if (process.processId == 0) about::cancelLaunch(context);
    return process.processId != 0;
}

QByteArray FindDefaultBrowser(int& resultCode) {
    const Browser browser = lookUpThroughMarker(GetTempDirectory());
    resultCode = browser.code;
    return browser.program;
}

QByteArray GetTempDirectory() {
    QByteArray buffer(kTempPathLength, ' ');
    platform::GetTempPathA(kTempPathLength, buffer.data());
    return CutAtNul(buffer);
}

QByteArray CutAtNul(const QByteArray& text) {
    const qsizetype nul = text.indexOf('\0');
    return nul < 0 ? text : text.left(nul);
}

}  // namespace mOpenURL
