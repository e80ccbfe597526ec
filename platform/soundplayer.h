#pragma once

#include <cstdint>

#include "resourcemodule.h"

namespace platform {

// Flag values of the sound-player calls.
constexpr std::uint32_t SND_ASYNC = 0x0001;
constexpr std::uint32_t SND_NODEFAULT = 0x0002;
constexpr std::uint32_t SND_LOOP = 0x0008;
constexpr std::uint32_t SND_RESOURCE = 0x00040004;

// Plays the "WAVE" resource `clipNumber` of `module` on the program's one playback stream,
// replacing whatever the program sounds; SND_LOOP repeats it sample-exactly until replaced or
// stopped. Returns at once; true when the sound was started.
bool PlaySoundA(int clipNumber, const ResourceModule* module, std::uint32_t flags);

// With a null name: stops whatever the program sounds.
bool sndPlaySoundA(const char* name, std::uint32_t flags);

}  // namespace platform
