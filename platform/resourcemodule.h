#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace platform {

// What a program module offers the sound player: its resources of a named type ("WAVE"),
// found by integer identifier. An empty span means the module has no such resource.
class ResourceModule {
public:
    virtual ~ResourceModule() = default;
    virtual std::span<const std::uint8_t> findResource(int number, std::string_view type) const = 0;
};

}  // namespace platform
