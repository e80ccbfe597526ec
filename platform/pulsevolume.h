#pragma once

#include <pulse/volume.h>

#include <algorithm>
#include <cstdint>

namespace platform {

// The mixer's volume scale, 0..65535, where 65535 is the server's normal 100%.
constexpr std::uint32_t kMaxLevel = 65535;

inline pa_volume_t toServerVolume(std::uint32_t level) {
    const std::uint64_t v = std::min(level, kMaxLevel);
    return static_cast<pa_volume_t>((v * PA_VOLUME_NORM + kMaxLevel / 2) / kMaxLevel);
}

inline std::uint32_t toLevel(pa_volume_t volume) {
    const std::uint64_t v = std::min<pa_volume_t>(volume, PA_VOLUME_NORM);
    return static_cast<std::uint32_t>((v * kMaxLevel + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
}

}  // namespace platform
