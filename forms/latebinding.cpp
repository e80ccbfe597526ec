#include "latebinding.h"

#include <QMetaObject>
#include <QObject>

#include "forms/runtimeerror.h"

namespace forms {

void callMethod(QObject* control, const char* method, std::int32_t argument) {
    const int value = argument;
    if (!QMetaObject::invokeMethod(control, method, Qt::DirectConnection, Q_ARG(int, value)))
        throw noSuchMemberError();
}

std::int32_t callIntegerMethod(QObject* control, const char* method) {
    int result = 0;
    if (!QMetaObject::invokeMethod(control, method, Qt::DirectConnection,
                                   Q_RETURN_ARG(int, result)))
        throw noSuchMemberError();
    return result;
}

}  // namespace forms
