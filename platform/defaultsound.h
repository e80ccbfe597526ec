#pragma once

#include "riffreader.h"

namespace platform {

// The player's own short default sound: a soft two-note chime, made once in code.
const WaveClip& defaultSound();

}  // namespace platform
