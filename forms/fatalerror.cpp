#include "fatalerror.h"

#include <cstdlib>

#include "application.h"
#include "messagebox.h"

namespace forms {

namespace {

constexpr int kFatalExitCode = 1;

void showFatalErrorAndEnd(int number, const QString& description) {
    showCriticalMessage(applicationTitle(), fatalErrorText(number, description));
    std::_Exit(kFatalExitCode);
}

FatalErrorReporter& reporter() {
    static FatalErrorReporter current = showFatalErrorAndEnd;
    return current;
}

}  // namespace

QString fatalErrorText(int number, const QString& description) {
    return QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description);
}

void setFatalErrorReporter(FatalErrorReporter replacement) {
    reporter() = replacement ? std::move(replacement) : FatalErrorReporter(showFatalErrorAndEnd);
}

void reportFatalError(int number, const QString& description) { reporter()(number, description); }

}  // namespace forms
