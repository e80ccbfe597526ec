#pragma once

namespace platform {

// A process-wide back-end that a test may replace: the default one unless another is set.
template <typename Interface, typename Default>
class Replaceable {
public:
    static Interface& get() {
        if (Interface* replacement = current()) return *replacement;
        static Default fallback;
        return fallback;
    }
    // nullptr restores the default.
    static void set(Interface* replacement) { current() = replacement; }

private:
    static Interface*& current() {
        static Interface* replacement = nullptr;
        return replacement;
    }
};

}  // namespace platform
