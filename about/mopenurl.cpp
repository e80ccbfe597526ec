#include "mopenurl.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/shell.h"

namespace mOpenURL {

namespace {

const char kMarkerName[] = "dummy.html";
constexpr int kTempPathLength = 256;
constexpr int kFoundAbove = 32;

bool createEmptyMarker(const QByteArray& path) {
    const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    return true;
}

// Creates the marker, asks for its program and deletes the marker again. The marker goes into
// a fresh directory that only this call can have made, so a file or link that someone placed
// in the shared temporary directory is never followed, emptied or deleted. A file step that
// fails gives a code of 32 or less: nothing is started then.
int lookUpThroughMarker(const QByteArray& temporaryDirectory, char* program) {
    if (!temporaryDirectory.startsWith('/')) return platform::SE_ERR_PNF;
    QByteArray directory = temporaryDirectory + "quorvane-XXXXXX";
    if (!mkdtemp(directory.data())) return platform::SE_ERR_PNF;
    directory += '/';
    const QByteArray marker = directory + kMarkerName;

    int code = platform::SE_ERR_FNF;
    if (createEmptyMarker(marker)) {
        code = platform::FindExecutableA(kMarkerName, directory.constData(), program);
        if (unlink(marker.constData()) != 0) code = platform::SE_ERR_ACCESSDENIED;
    }
    if (rmdir(directory.constData()) != 0) code = platform::SE_ERR_ACCESSDENIED;
    return code;
}

}  // namespace

bool OpenWebAddress(const QString& address) {
    int code = 0;
    const QString program = FindDefaultBrowser(code);
    if (code <= kFoundAbove) return false;
    const QByteArray commandLine = (QStringLiteral(" ") + address).toLocal8Bit();
    platform::ProcessInformation process;
    platform::CreateProcessA(program.toLocal8Bit().constData(), commandLine.constData(), nullptr,
                             &process);
    return process.processId != 0;
}

QString FindDefaultBrowser(int& resultCode) {
    const QString directory = GetTempDirectory();
    QByteArray program(platform::MAX_PATH, ' ');
    resultCode = lookUpThroughMarker(directory.toLocal8Bit(), program.data());
    return CutAtNul(QString::fromLocal8Bit(program));
}

QString GetTempDirectory() {
    QByteArray buffer(kTempPathLength, ' ');
    platform::GetTempPathA(kTempPathLength, buffer.data());
    return CutAtNul(QString::fromLocal8Bit(buffer));
}

QString CutAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

}  // namespace mOpenURL
