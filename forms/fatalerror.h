#pragma once

#include <QObject>
#include <QString>

#include <new>

#include "runtimeerror.h"

namespace forms {

// "Run-time error '6':" and the error's text below it, as the fatal error message reads.
QString fatalErrorText(int number, const QString& description);

// What happens to an error that escapes an event handler: the fatal error message (a critical
// message box under the application title, one OK button), and then the process ends with
// exit code 1.
void reportFatalError(int number, const QString& description);

// Runs an event handler. The handler catches nothing itself: an error that escapes it ends
// the program with the fatal error message instead of unwinding into the toolkit.
template <typename Handler>
void runEventHandler(Handler&& handler) {
    try {
        handler();
    } catch (const RuntimeError& error) {
        reportFatalError(error.number(), QString::fromUtf8(error.what()));
    } catch (const std::bad_alloc&) {
        reportFatalError(kErrOutOfMemory, QStringLiteral("Out of memory"));
    } catch (...) {
        reportFatalError(kErrInternal, QStringLiteral("Internal error"));
    }
}

// Connects a signal to an event handler of the receiver, run as runEventHandler runs it.
template <typename Sender, typename Signal, typename Receiver>
void connectHandler(Sender* sender, Signal signal, Receiver* receiver, void (Receiver::*handler)()) {
    QObject::connect(sender, signal, receiver, [receiver, handler] {
        runEventHandler([receiver, handler] { (receiver->*handler)(); });
    });
}

}  // namespace forms
