#include "riffreader.h"

#include <cstring>
#include <optional>

namespace platform {

namespace {

constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kPcmFormatBytes = 16;

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool hasTag(const std::uint8_t* p, const char (&tag)[5]) { return std::memcmp(p, tag, 4) == 0; }

struct Chunks {
    std::optional<std::span<const std::uint8_t>> format;
    std::optional<std::span<const std::uint8_t>> data;
};

// Walks the chunks of the form body; stops at the first chunk that does not fit.
RiffError findChunks(std::span<const std::uint8_t> body, Chunks& found) {
    std::size_t at = 0;
    while (body.size() - at >= kChunkHeader) {
        const std::uint8_t* header = body.data() + at;
        const std::size_t length = le32(header + 4);
        const std::size_t start = at + kChunkHeader;
        if (length > body.size() - start) return RiffError::ChunkPastEnd;
        const auto chunk = body.subspan(start, length);
        if (hasTag(header, "fmt ") && !found.format) found.format = chunk;
        if (hasTag(header, "data") && !found.data) found.data = chunk;
        // The pad byte of an odd chunk may be missing at the very end of the form.
        at = start + length + (length & 1);
        if (at > body.size()) break;
    }
    return RiffError::None;
}

RiffError readFormat(std::span<const std::uint8_t> fmt, WaveClip& clip) {
    if (fmt.size() < kPcmFormatBytes) return RiffError::NoFormat;
    const std::uint8_t* p = fmt.data();
    const std::uint16_t formatTag = le16(p);
    const std::uint16_t channels = le16(p + 2);
    const std::uint32_t rate = le32(p + 4);
    const std::uint16_t blockAlign = le16(p + 12);
    const std::uint16_t bits = le16(p + 14);
    if (formatTag != 1) return RiffError::NotPcm;
    if (channels != 1) return RiffError::NotMono;
    if (bits != 8 && bits != 16) return RiffError::BadBitDepth;
    if (rate == 0) return RiffError::ZeroRate;
    if (blockAlign != bits / 8) return RiffError::BadBlockAlign;
    clip.sampleRate = rate;
    clip.bitsPerSample = bits;
    return RiffError::None;
}

}  // namespace

RiffResult readWave(std::span<const std::uint8_t> image) {
    RiffResult result;
    auto refuse = [&result](RiffError e) {
        result.error = e;
        result.clip = {};
        return result;
    };
    if (image.size() < 12) return refuse(RiffError::Truncated);
    if (!hasTag(image.data(), "RIFF") || !hasTag(image.data() + 8, "WAVE"))
        return refuse(RiffError::NotRiffWave);
    const std::size_t formSize = le32(image.data() + 4);
    if (formSize < 4 || formSize > image.size() - 8) return refuse(RiffError::Truncated);

    Chunks chunks;
    if (auto e = findChunks(image.subspan(12, formSize - 4), chunks); e != RiffError::None)
        return refuse(e);
    if (!chunks.format) return refuse(RiffError::NoFormat);
    if (auto e = readFormat(*chunks.format, result.clip); e != RiffError::None) return refuse(e);
    if (!chunks.data) return refuse(RiffError::NoData);
    const std::size_t whole = chunks.data->size() / result.clip.bytesPerSample();
    if (whole == 0) return refuse(RiffError::NoData);
    result.clip.samples = chunks.data->first(whole * result.clip.bytesPerSample());
    return result;
}

const char* riffErrorText(RiffError error) {
    switch (error) {
    case RiffError::None: return "accepted";
    case RiffError::Truncated: return "truncated image";
    case RiffError::NotRiffWave: return "not a RIFF WAVE image";
    case RiffError::ChunkPastEnd: return "chunk reaches past the end of the form";
    case RiffError::NoFormat: return "no usable \"fmt \" chunk";
    case RiffError::NoData: return "no \"data\" chunk with samples";
    case RiffError::NotPcm: return "not PCM";
    case RiffError::NotMono: return "not mono";
    case RiffError::BadBitDepth: return "bit depth other than 8 or 16";
    case RiffError::ZeroRate: return "sample rate of zero";
    case RiffError::BadBlockAlign: return "block align does not match the sample size";
    }
    return "unknown";
}

}  // namespace platform
