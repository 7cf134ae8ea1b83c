#include "core/settings/parsecolor.h"

#include <array>
#include <string>

namespace orm {

namespace {

struct NamedColor {
    std::string_view Name;
    RgbColor Color;
};

// The sixteen basic colours, then the system colours with the values of the classic Windows
// scheme: a setting written for Windows keeps the look it had there, whatever the desktop theme.
constexpr std::array<NamedColor, 41> kNamedColors{{
    {"clBlack", {0, 0, 0}},
    {"clMaroon", {128, 0, 0}},
    {"clGreen", {0, 128, 0}},
    {"clOlive", {128, 128, 0}},
    {"clNavy", {0, 0, 128}},
    {"clPurple", {128, 0, 128}},
    {"clTeal", {0, 128, 128}},
    {"clGray", {128, 128, 128}},
    {"clSilver", {192, 192, 192}},
    {"clRed", {255, 0, 0}},
    {"clLime", {0, 255, 0}},
    {"clYellow", {255, 255, 0}},
    {"clBlue", {0, 0, 255}},
    {"clFuchsia", {255, 0, 255}},
    {"clAqua", {0, 255, 255}},
    {"clWhite", {255, 255, 255}},
    {"clScrollBar", {212, 208, 200}},
    {"clBackground", {58, 110, 165}},
    {"clActiveCaption", {10, 36, 106}},
    {"clInactiveCaption", {128, 128, 128}},
    {"clMenu", {212, 208, 200}},
    {"clWindow", {255, 255, 255}},
    {"clWindowFrame", {0, 0, 0}},
    {"clMenuText", {0, 0, 0}},
    {"clWindowText", {0, 0, 0}},
    {"clCaptionText", {255, 255, 255}},
    {"clActiveBorder", {212, 208, 200}},
    {"clInactiveBorder", {212, 208, 200}},
    {"clAppWorkSpace", {128, 128, 128}},
    {"clHighlight", {10, 36, 106}},
    {"clHighlightText", {255, 255, 255}},
    {"clBtnFace", {212, 208, 200}},
    {"clBtnShadow", {128, 128, 128}},
    {"clGrayText", {128, 128, 128}},
    {"clBtnText", {0, 0, 0}},
    {"clInactiveCaptionText", {212, 208, 200}},
    {"clBtnHighlight", {255, 255, 255}},
    {"cl3DDkShadow", {64, 64, 64}},
    {"cl3DLight", {212, 208, 200}},
    {"clInfoText", {0, 0, 0}},
    {"clInfoBk", {255, 255, 225}},
}};

bool equalsAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

}  // namespace

std::optional<RgbColor> ParseColor(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    for (const NamedColor& named : kNamedColors) {
        if (equalsAsciiNoCase(text, named.Name))
            return named.Color;
    }
    // A transparent "colour" cannot fill anything: treat it as none configured.
    if (equalsAsciiNoCase(text, "clNone"))
        return std::nullopt;

    std::array<std::string, 3> parts;
    std::size_t current = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (parts[current].size() < 3)
                parts[current] += c;
        } else if (c == ',' || c == ';') {
            if (current == 2)
                break;
            ++current;
        }
    }
    std::array<std::uint8_t, 3> values{};
    for (std::size_t i = 0; i < 3; ++i) {
        if (parts[i].empty())
            return std::nullopt;
        values[i] = static_cast<std::uint8_t>(std::stoi(parts[i]) & 0xFF);
    }
    return RgbColor{values[0], values[1], values[2]};
}

}  // namespace orm
