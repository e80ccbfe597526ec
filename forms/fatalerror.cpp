#include "fatalerror.h"

#include "application.h"
#include "messagebox.h"

namespace forms {

namespace {

constexpr int kFatalExitCode = 1;

}  // namespace

QString fatalErrorText(int number, const QString& description) {
    return QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description);
}

void reportFatalError(int number, const QString& description) {
    messageBoxes().showCritical(applicationTitle(), fatalErrorText(number, description));
    processExit().ExitProcess(kFatalExitCode);
}

}  // namespace forms
