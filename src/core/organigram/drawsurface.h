#pragma once

// What the organigram layout draws on: a small subset of a GDI-like canvas. The WMF writer
// records these calls as metafile records; tests and other back ends may implement it too.
// Coordinates are logical units (0.1 mm in the organigram). They are 64-bit so that no chart,
// however many entries it has, can overflow the layout arithmetic; a back end with narrower
// fields scales them itself.

#include <cstdint>
#include <string>

namespace orm {

using Coord = std::int64_t;

struct SurfaceRect {
    Coord left = 0;
    Coord top = 0;
    Coord right = 0;
    Coord bottom = 0;
    bool operator==(const SurfaceRect&) const = default;
};

// Values as in a Windows LOGFONT, so a metafile back end can store them unchanged.
enum class FontPitch : std::uint8_t { Default = 0, Fixed = 1, Variable = 2 };

constexpr std::uint8_t kCyrillicCharSet = 204;

struct SurfaceFont {
    std::string face;  // Windows-1251
    Coord height = 0;  // cell height (internal leading included), as a positive LOGFONT height
    FontPitch pitch = FontPitch::Default;
    std::uint8_t charSet = 0;
    bool operator==(const SurfaceFont&) const = default;
};

// Text alignment flags, Windows values. The reference point of a text run is its horizontal
// centre and its bottom edge in the organigram.
constexpr unsigned kAlignLeft = 0;
constexpr unsigned kAlignCenter = 6;
constexpr unsigned kAlignBottom = 8;

class DrawSurface {
public:
    virtual ~DrawSurface() = default;

    // Width of the solid black pen used by the following rectangles and lines.
    virtual void SetPenWidth(Coord width) = 0;
    // Outlined with the pen, filled solid white.
    virtual void DrawRectangle(Coord x1, Coord y1, Coord x2, Coord y2) = 0;
    virtual void DrawLine(Coord x1, Coord y1, Coord x2, Coord y2) = 0;
    virtual void SetFont(const SurfaceFont& font) = 0;
    virtual void SetTextAlign(unsigned align) = 0;
    // One line of text (Windows-1251) at the reference point (x, y), black, no background,
    // nothing of it drawn outside clip.
    virtual void DrawClippedText(Coord x, Coord y, const SurfaceRect& clip,
                                 const std::string& text) = 0;
};

}  // namespace orm
