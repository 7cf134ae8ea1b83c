#pragma once

// What a chart looks like as a list of drawn shapes, each with the state it was drawn in. The
// layout tests get it from a recording surface, the metafile tests also from a file played
// back, so the two can be compared shape for shape.

#include <ostream>
#include <string>
#include <vector>

#include "core/organigram/drawsurface.h"
#include "core/text/cp1251.h"

namespace orm::test {

struct Drawn {
    enum Kind { Rect, Line, Text } kind = Rect;
    SurfaceRect box;     // rectangle corners, line end points, or a text's clip rectangle
    Coord x = 0, y = 0;  // a text's reference point
    Coord pen = 0;       // rectangles and lines
    SurfaceFont font;    // texts
    unsigned align = 0;  // texts
    std::string text;
    bool operator==(const Drawn&) const = default;
};

inline Drawn RectAt(Coord x1, Coord y1, Coord x2, Coord y2, Coord pen = 6)
{
    return {Drawn::Rect, {x1, y1, x2, y2}, 0, 0, pen, {}, 0, {}};
}

inline Drawn LineAt(Coord x1, Coord y1, Coord x2, Coord y2, Coord pen = 2)
{
    return {Drawn::Line, {x1, y1, x2, y2}, 0, 0, pen, {}, 0, {}};
}

inline void PrintTo(const Drawn& d, std::ostream* os)
{
    static const char* const kinds[] = {"rect", "line", "text"};
    *os << kinds[d.kind] << " (" << d.box.left << ", " << d.box.top << ", " << d.box.right << ", "
        << d.box.bottom << ")";
    if (d.kind == Drawn::Text)
        *os << " at (" << d.x << ", " << d.y << ") \"" << ToUtf8(d.text) << "\" font "
            << ToUtf8(d.font.face) << "/" << d.font.height << "/" << int(d.font.pitch) << "/"
            << int(d.font.charSet) << " align " << d.align;
    else
        *os << " pen " << d.pen;
}

class RecordingSurface : public DrawSurface {
public:
    void SetPenWidth(Coord width) override { m_pen = width; }
    void DrawRectangle(Coord x1, Coord y1, Coord x2, Coord y2) override
    {
        shapes.push_back(RectAt(x1, y1, x2, y2, m_pen));
    }
    void DrawLine(Coord x1, Coord y1, Coord x2, Coord y2) override
    {
        shapes.push_back(LineAt(x1, y1, x2, y2, m_pen));
    }
    void SetFont(const SurfaceFont& font) override
    {
        fonts.push_back(font);
        m_font = font;
    }
    void SetTextAlign(unsigned align) override
    {
        aligns.push_back(align);
        m_align = align;
    }
    void DrawClippedText(Coord x, Coord y, const SurfaceRect& clip,
                         const std::string& text) override
    {
        shapes.push_back({Drawn::Text, clip, x, y, 0, m_font, m_align, text});
    }

    std::vector<Drawn> Of(Drawn::Kind kind) const
    {
        std::vector<Drawn> out;
        for (const Drawn& d : shapes)
            if (d.kind == kind) out.push_back(d);
        return out;
    }

    std::vector<Drawn> shapes;
    std::vector<SurfaceFont> fonts;
    std::vector<unsigned> aligns;

private:
    Coord m_pen = 0;
    SurfaceFont m_font;
    unsigned m_align = 0;
};

}  // namespace orm::test
