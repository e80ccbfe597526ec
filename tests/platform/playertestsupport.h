#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// Clips with content a test can recognise sample by sample on the monitor.
namespace cliptest {

// Deterministic noise that never comes near silence, so a gap shows as a run of zeros.
inline std::vector<std::int16_t> noise(std::size_t count, std::uint32_t seed) {
    std::vector<std::int16_t> s(count);
    for (auto& v : s) {
        seed = seed * 1664525u + 1013904223u;
        const int magnitude = 256 + int((seed >> 8) % 20000);
        v = std::int16_t((seed >> 31) ? magnitude : -magnitude);
    }
    return s;
}

// A square wave of the given amplitude, period four samples.
inline std::vector<std::int16_t> square(std::size_t count, std::int16_t amplitude) {
    std::vector<std::int16_t> s(count);
    for (std::size_t i = 0; i < count; ++i) s[i] = (i % 4 < 2) ? amplitude : std::int16_t(-amplitude);
    return s;
}

// 8-bit unsigned samples whose 16-bit equivalents ((v - 128) << 8) avoid silence.
inline QByteArray noise8(std::size_t count, std::uint32_t seed) {
    QByteArray b(qsizetype(count), 0);
    for (auto& c : b) {
        seed = seed * 1664525u + 1013904223u;
        const int magnitude = 1 + int((seed >> 8) % 120);
        c = char(128 + ((seed >> 31) ? magnitude : -magnitude));
    }
    return b;
}

}  // namespace cliptest
