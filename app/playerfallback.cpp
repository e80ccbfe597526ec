#include "platform/soundplayer.h"

// Silent entry points that give way to the platform sound player once it is linked in.
namespace platform {
[[gnu::weak]] bool PlaySoundA(int, const ResourceModule*, std::uint32_t) { return false; }
[[gnu::weak]] bool sndPlaySoundA(const char*, std::uint32_t) { return false; }
}  // namespace platform
