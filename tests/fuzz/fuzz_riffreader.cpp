#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "riffreader.h"

// Feeds arbitrary bytes to the RIFF reader. The input is copied into a buffer of exactly its
// size so that AddressSanitizer sees any read past the end; an accepted clip must lie inside
// the image and hold whole samples of a playable format.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> image(data, data + size);
    const platform::RiffResult result = platform::readWave(image);
    if (!result.ok()) return 0;
    const auto& clip = result.clip;
    const std::uint8_t* begin = image.data();
    const std::uint8_t* end = begin + image.size();
    const bool inside = clip.samples.data() >= begin && clip.samples.data() + clip.samples.size() <= end;
    const bool playable = (clip.bitsPerSample == 8 || clip.bitsPerSample == 16) && clip.sampleRate > 0 &&
                          !clip.samples.empty() && clip.samples.size() % clip.bytesPerSample() == 0;
    if (!inside || !playable) std::abort();
    volatile std::uint32_t sum = 0;
    for (std::uint8_t b : clip.samples) sum = sum + b;
    return 0;
}
