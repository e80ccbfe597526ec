#pragma once

#include <cstdint>

class QObject;

namespace forms {

// Calls a public method of a control by its name, without a typed reference to the control's
// class: the control's invokable methods are its dispatch interface. An error that the method
// raises reaches the caller; a method the control lacks raises error 438.
void callMethod(QObject* control, const char* method, std::int32_t argument);
std::int32_t callIntegerMethod(QObject* control, const char* method);

}  // namespace forms
