#pragma once

#include <cstdint>

#include "base/replaceable.h"
#include "platform/soundplayer.h"

// The sound player's entry points as the main window calls them.
class Module1 {
public:
    virtual ~Module1() = default;

    virtual bool PlaySoundA(int clipNumber, const platform::ResourceModule* module,
                            std::uint32_t flags);
    virtual bool sndPlaySoundA(const char* name, std::uint32_t flags);
};

// The entry points in use: the real sound player's unless a test has put a recorder in their
// place.
extern base::Replaceable<Module1> module1;
