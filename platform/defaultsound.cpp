#include "defaultsound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace platform {

namespace {

constexpr std::uint32_t kRate = 22050;
constexpr double kLength = 0.6;         // seconds
constexpr double kSecondNote = 0.16;    // seconds after the first
constexpr double kAttack = 0.004;       // a soft onset keeps the strike from clicking
constexpr double kDecay = 0.13;
constexpr double kFadeOut = 0.05;
constexpr double kPeak = 0.3;           // about -10 dBFS

// A bell-like note: a fundamental with two quieter partials, struck and decaying.
double note(double t, double frequency) {
    if (t < 0) return 0;
    const double envelope = std::min(1.0, t / kAttack) * std::exp(-t / kDecay);
    const double w = 2 * std::numbers::pi * frequency * t;
    return envelope * (std::sin(w) + 0.35 * std::sin(2 * w) + 0.12 * std::sin(3.01 * w)) / 1.47;
}

std::vector<std::uint8_t> makeChime() {
    const auto count = static_cast<std::size_t>(kLength * kRate);
    std::vector<std::uint8_t> bytes(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double fade = std::min(1.0, (kLength - t) / kFadeOut);
        const double v = kPeak * fade * (note(t, 659.26) + 0.8 * note(t - kSecondNote, 523.25));
        const auto sample = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
        bytes[2 * i] = static_cast<std::uint8_t>(sample & 0xff);
        bytes[2 * i + 1] = static_cast<std::uint8_t>((sample >> 8) & 0xff);
    }
    return bytes;
}

}  // namespace

const WaveClip& defaultSound() {
    static const std::vector<std::uint8_t> samples = makeChime();
    static const WaveClip clip{kRate, 16, samples};
    return clip;
}

}  // namespace platform
