#include "cliptable.h"

#include <string_view>

namespace sounds {

std::span<const std::uint8_t> clipData(int number);  // generated from sounds/clips

namespace {

class ProgramModule final : public platform::ResourceModule {
public:
    std::span<const std::uint8_t> findResource(int number, std::string_view type) const override {
        if (type != "WAVE")
            return {};
        return findClip(number);
    }
};

}  // namespace

std::span<const std::uint8_t> findClip(int number) {
    return clipData(number);
}

const platform::ResourceModule& programModule() {
    static const ProgramModule module;
    return module;
}

}  // namespace sounds
