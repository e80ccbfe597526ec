#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace sounds {

// The program's version record: fixed versions, target system and file type, and the
// string table of language 1033 in code page 1200.
struct VersionString {
    std::string_view key;
    std::string_view value;
};

struct VersionInfo {
    std::array<std::uint16_t, 4> fileVersion;
    std::array<std::uint16_t, 4> productVersion;
    std::uint32_t fileOs;    // 4: 32-bit Windows
    std::uint32_t fileType;  // 1: application
    std::uint16_t language;
    std::uint16_t codePage;
    std::array<VersionString, 7> strings;

    constexpr std::string_view value(std::string_view key) const {
        for (const VersionString& s : strings) {
            if (s.key == key)
                return s.value;
        }
        return {};
    }
};

inline constexpr VersionInfo kVersionInfo{
    {1, 0, 0, 0},
    {1, 0, 0, 0},
    4,
    1,
    1033,
    1200,
    {{{"Comments", "Quorvane"},
      {"CompanyName", "Quorvane developers"},
      {"ProductName", "Quorvane"},
      {"FileVersion", "1.00"},
      {"ProductVersion", "1.00"},
      {"InternalName", "Quorvane"},
      {"OriginalFilename", "Quorvane.exe"}}},
};

}  // namespace sounds
