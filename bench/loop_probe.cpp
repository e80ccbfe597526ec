// Loops clip 103 through the program's sound player and its clip module until it is killed,
// so that a benchmark can watch the playing process alone.
#include <unistd.h>

#include "platform/soundplayer.h"
#include "sounds/cliptable.h"

int main() {
    platform::PlaySoundA(103, &sounds::programModule(),
                         platform::SND_RESOURCE | platform::SND_ASYNC | platform::SND_LOOP);
    for (;;) pause();
}
