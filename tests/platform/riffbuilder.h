#pragma once

#include <QByteArray>
#include <QMap>

#include <cstdint>
#include <span>
#include <vector>

#include "platform/resourcemodule.h"

// Builds RIFF WAVE images chunk by chunk, for tests that need well-formed or broken clips.
namespace riff {

inline QByteArray le16(std::uint16_t v) {
    QByteArray b(2, 0);
    b[0] = char(v & 0xff);
    b[1] = char(v >> 8);
    return b;
}

inline QByteArray le32(std::uint32_t v) { return le16(v & 0xffff) + le16(v >> 16); }

inline QByteArray chunk(const QByteArray& id, const QByteArray& body, bool pad = true) {
    QByteArray c = id + le32(std::uint32_t(body.size())) + body;
    if (pad && body.size() % 2) c += '\0';
    return c;
}

struct Format {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;
    std::uint16_t blockAlign = 2;
};

inline QByteArray formatBody(const Format& f) {
    return le16(f.tag) + le16(f.channels) + le32(f.rate) + le32(f.rate * f.blockAlign) +
           le16(f.blockAlign) + le16(f.bits);
}

inline QByteArray fmt(const Format& f = {}) { return chunk("fmt ", formatBody(f)); }
inline QByteArray fmt8(std::uint32_t rate) { return fmt({1, 1, rate, 8, 1}); }

// The RIFF header with a size that counts the form type and the given chunks.
inline QByteArray image(const QByteArray& chunks, const QByteArray& trailing = {}) {
    return "RIFF" + le32(std::uint32_t(chunks.size() + 4)) + "WAVE" + chunks + trailing;
}

inline QByteArray samples16(const std::vector<std::int16_t>& s) {
    QByteArray b;
    for (std::int16_t v : s) b += le16(std::uint16_t(v));
    return b;
}

inline QByteArray wave16(const std::vector<std::int16_t>& s, std::uint32_t rate = 22050) {
    return image(fmt({1, 1, rate, 16, 2}) + chunk("data", samples16(s)));
}

inline std::span<const std::uint8_t> bytes(const QByteArray& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

// A module whose "WAVE" resources are images set by the test.
class Module : public platform::ResourceModule {
public:
    void set(int number, QByteArray image) { images_[number] = std::move(image); }
    std::span<const std::uint8_t> findResource(int number, std::string_view type) const override {
        if (type != "WAVE" || !images_.contains(number)) return {};
        return bytes(images_[number]);
    }

private:
    QMap<int, QByteArray> images_;
};

}  // namespace riff
