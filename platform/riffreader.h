#pragma once

#include <cstdint>
#include <span>

namespace platform {

// Why a RIFF WAVE image was refused; None when it was accepted.
enum class RiffError {
    None,
    Truncated,      // too short for a header, or the form claims bytes the image lacks
    NotRiffWave,    // no "RIFF" tag or no "WAVE" form type
    ChunkPastEnd,   // a chunk's length reaches past the end of the form
    NoFormat,       // no "fmt " chunk, or one too short for the PCM fields
    NoData,         // no "data" chunk, or one without a whole sample
    NotPcm,         // format tag other than 1
    NotMono,        // channel count other than 1
    BadBitDepth,    // neither 8 nor 16 bits per sample
    ZeroRate,
    BadBlockAlign,  // block align other than bytes per sample
};

// The playable part of an accepted image: mono PCM, 8-bit unsigned or 16-bit signed
// little-endian. `samples` points into the image and holds whole samples only.
struct WaveClip {
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;
    std::span<const std::uint8_t> samples;

    std::uint32_t bytesPerSample() const { return bitsPerSample / 8u; }
};

struct RiffResult {
    RiffError error = RiffError::None;
    WaveClip clip;

    bool ok() const { return error == RiffError::None; }
};

// Reads a RIFF WAVE image by the sizes in its header and chunk headers: bytes after the form
// are ignored, chunks other than "fmt " and "data" are skipped (odd lengths padded to even),
// and the first "fmt " and "data" chunks count. Never reads outside `image`.
RiffResult readWave(std::span<const std::uint8_t> image);

const char* riffErrorText(RiffError error);

}  // namespace platform
