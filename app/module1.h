#pragma once

#include <cstdint>

#include "platform/soundplayer.h"

// The platform entry points that the main window calls. They default to the real sound
// player and process exit; a test may put recorders in their place.
struct Module1 {
    bool (*PlaySoundA)(int clipNumber, const platform::ResourceModule* module,
                       std::uint32_t flags) = platform::PlaySoundA;
    bool (*sndPlaySoundA)(const char* name, std::uint32_t flags) = platform::sndPlaySoundA;
    void (*ExitProcess)(int code) = defaultExit;

    [[noreturn]] static void defaultExit(int code);

    // The one set in use.
    static Module1& entries();
};
