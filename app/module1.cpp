#include "module1.h"

bool Module1::PlaySoundA(int clipNumber, const platform::ResourceModule* module,
                         std::uint32_t flags) {
    return platform::PlaySoundA(clipNumber, module, flags);
}

bool Module1::sndPlaySoundA(const char* name, std::uint32_t flags) {
    return platform::sndPlaySoundA(name, flags);
}

constinit base::Replaceable<Module1> module1{base::madeOnFirstUse<Module1>};
