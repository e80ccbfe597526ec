#pragma once

#include <pulse/volume.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace platform {

// The mixer's volume scale, 0..65535, where 65535 is the server's normal 100%. A volume the
// desktop raised above 100% reads above 65535 on the same scale; writes stop at 65535.
constexpr std::uint32_t kMaxLevel = 65535;

inline pa_volume_t toServerVolume(std::uint32_t level) {
    const std::uint64_t v = std::min(level, kMaxLevel);
    return static_cast<pa_volume_t>((v * PA_VOLUME_NORM + kMaxLevel / 2) / kMaxLevel);
}

inline std::int32_t toLevel(pa_volume_t volume) {
    const std::uint64_t level = (std::uint64_t(volume) * kMaxLevel + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM;
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(level, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace platform
