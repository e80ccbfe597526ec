#pragma once

#include <cstdint>
#include <span>

#include "platform/resourcemodule.h"

namespace sounds {

// The complete RIFF image of clip `number` (101 to 104) as stored in the program, byte for
// byte; empty for any other number.
std::span<const std::uint8_t> findClip(int number);

// The program's own module as the sound player sees it: its "WAVE" resources are the clips.
const platform::ResourceModule& programModule();

}  // namespace sounds
