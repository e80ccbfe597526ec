#pragma once

#include <type_traits>

namespace base {

// A service of the whole process behind an interface, such as the mixer device or the message
// boxes: the program's own implementation unless a test has put another in its place. Each
// service is one object, declared beside its interface and defined beside the implementation:
//
//     extern base::Replaceable<MixerDevice> mixerDevice;
//
//     constinit base::Replaceable<MixerDevice> mixerDevice{
//         base::madeOnFirstUse<MixerDevice, PulseMixerDevice>};
//
// Callers ask mixerDevice() for the one in use; a test holds a Replacement while its double
// stands in.
template <typename Interface>
class Replaceable {
public:
    using Standard = Interface& (*)();

    explicit constexpr Replaceable(Standard standard) : standard_(standard) {}
    Replaceable(const Replaceable&) = delete;
    Replaceable& operator=(const Replaceable&) = delete;

    Interface& operator()() const { return replacement_ ? *replacement_ : standard_(); }

private:
    template <typename>
    friend class Replacement;

    Standard standard_;
    Interface* replacement_ = nullptr;
};

// The program's own implementation of a service: one `Implementation`, made when it is first
// asked for and kept for the process's life.
template <typename Interface, typename Implementation = Interface>
Interface& madeOnFirstUse() {
    static Implementation implementation;
    return implementation;
}

// Puts a test's double in the place of a service while it lives, then restores what was there.
template <typename Interface>
class [[nodiscard]] Replacement {
public:
    Replacement(Replaceable<Interface>& service, std::type_identity_t<Interface>& standIn)
        : service_(service), previous_(service.replacement_) {
        service.replacement_ = &standIn;
    }
    ~Replacement() { service_.replacement_ = previous_; }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

private:
    Replaceable<Interface>& service_;
    Interface* previous_;
};

}  // namespace base
