#pragma once

#include <stdexcept>
#include <string>

namespace forms {

// A run-time error of the program's language runtime: a number and its standard text. An
// error that escapes an event handler ends the program with the fatal error message.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    int number() const { return number_; }

private:
    int number_;
};

constexpr int kErrOverflow = 6;
constexpr int kErrOutOfMemory = 7;
constexpr int kErrSubscriptOutOfRange = 9;
constexpr int kErrInternal = 51;

inline RuntimeError overflowError() { return RuntimeError(kErrOverflow, "Overflow"); }

inline RuntimeError subscriptOutOfRangeError() {
    return RuntimeError(kErrSubscriptOutOfRange, "Subscript out of range");
}

}  // namespace forms
