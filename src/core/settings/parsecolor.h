#pragma once

// Colour settings as users write them: a colour name of the Windows palette ("clNavy",
// "clBtnFace") or three decimal components "red,green,blue".

#include <cstdint>
#include <optional>
#include <string_view>

namespace orm {

struct RgbColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;

    // As Windows stores a colour: red + 256 × green + 65536 × blue.
    std::uint32_t Value() const { return Red + (Green << 8) + (Blue << 16); }
    friend bool operator==(const RgbColor&, const RgbColor&) = default;
};

// The colour a setting names, or nothing. Names are matched without regard to letter case; the
// system colours stand for the classic Windows scheme, and "clNone" means no colour. Otherwise
// three decimal components are scanned: at most three digits each (more are ignored), "," or ";"
// moves to the next one, a separator after the third ends the scan, anything else is skipped;
// each component keeps its low 8 bits, and a missing one gives no colour.
std::optional<RgbColor> ParseColor(std::string_view text);

}  // namespace orm
