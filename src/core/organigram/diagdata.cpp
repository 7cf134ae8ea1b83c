#include "core/organigram/diagdata.h"

#include <algorithm>

namespace orm {

namespace {

// Lone, Top, Level1, Level2.
constexpr BoxGeometry kGeometry[] = {
    {700, 180, 37, 4, 43},
    {700, 180, 37, 4, 43},
    {310, 180, 18, 5, 34},
    {260, 155, 21, 6, 24},
};

constexpr Coord kMargin = 20;
constexpr Coord kGap = 50;
constexpr Coord kBoxPen = 6;
constexpr Coord kLinePen = 2;
constexpr Coord kTextInset = 5;
constexpr Coord kInitialFontHeight = 40;
// Text still to be wrapped is cut to this length. A box shows far fewer characters, so only a
// long run of blanks could bring text from beyond the cut into view.
constexpr std::size_t kMaxRemainder = 255;

constexpr const BoxGeometry& kTop = kGeometry[1];
constexpr const BoxGeometry& kLevel1 = kGeometry[2];
constexpr const BoxGeometry& kLevel2 = kGeometry[3];

// A column must leave room for its own box and for the indented boxes below it.
constexpr Coord kColumnStep = std::max(kLevel1.width + kGap, kLevel2.width + 2 * kGap);

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string Trim(std::string_view s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// One pass of the layout. Records the extent as boxes are placed and forwards drawing to the
// surface when there is one.
class Layout {
public:
    explicit Layout(DrawSurface* surface) : m_surface(surface)
    {
        m_font.face = "Arial Cyr";
        m_font.height = kInitialFontHeight;
        m_font.pitch = FontPitch::Fixed;
        m_font.charSet = kCyrillicCharSet;
        if (m_surface) {
            m_surface->SetFont(m_font);
            m_surface->SetTextAlign(kAlignCenter | kAlignBottom);
        }
    }

    void Box(BoxKind kind, Coord x, Coord y, const std::string& text)
    {
        const BoxGeometry& g = GeometryOf(kind);
        const Coord x1 = x + kMargin;
        const Coord y1 = y + kMargin;
        const Coord x2 = x1 + g.width;
        const Coord y2 = y1 + g.height;
        if (m_surface) {
            m_surface->SetPenWidth(kBoxPen);
            m_surface->DrawRectangle(x1, y1, x2, y2);
        }
        m_right = std::max(m_right, x2);
        m_bottom = std::max(m_bottom, y2);
        if (!m_surface) return;
        if (!text.empty()) PlaceText(g, x1, y1, x2, y2, text);

        const Coord cx = (x1 + x2) / 2;
        const Coord cy = (y1 + y2) / 2;
        switch (kind) {
            case BoxKind::Lone:
                return;
            case BoxKind::Top:
                Segment(cx, y2, cx, y2 + kGap);
                return;
            case BoxKind::Level1:
                Segment(cx, y1 - kGap, cx, y1);
                return;
            case BoxKind::Level2:
                Segment(x1 - kGap, cy, x1, cy);
                return;
        }
    }

    // The bar under the top box or a trunk down a column.
    void Line(Coord x, Coord y, Coord length, bool horizontal)
    {
        if (!m_surface) return;
        x += kMargin;
        y += kMargin;
        if (horizontal)
            Segment(x, y, x + length, y);
        else
            Segment(x, y, x, y + length);
    }

    DiagExtent Extent() const { return {m_right + kMargin, m_bottom + kMargin}; }

private:
    void Segment(Coord x1, Coord y1, Coord x2, Coord y2)
    {
        m_surface->SetPenWidth(kLinePen);
        m_surface->DrawLine(x1, y1, x2, y2);
    }

    // Lines are counted, not measured: a full line is assumed to fit at the line height, and
    // whatever is wider is cut by its clip rectangle.
    void PlaceText(const BoxGeometry& g, Coord x1, Coord y1, Coord x2, Coord y2,
                   const std::string& text)
    {
        const std::vector<std::string> lines = WrapText(text, g.charsPerLine, g.maxLines);
        m_font.height = g.lineHeight;
        m_surface->SetFont(m_font);
        Coord top = (y1 + y2 - static_cast<Coord>(lines.size()) * g.lineHeight - 2) / 2;
        for (const std::string& line : lines) {
            const SurfaceRect clip{x1 + kTextInset, top, x2 - kTextInset, top + g.lineHeight};
            m_surface->DrawClippedText((x1 + x2) / 2, top + g.lineHeight, clip, line);
            top += g.lineHeight;
        }
    }

    DrawSurface* m_surface;
    SurfaceFont m_font;
    Coord m_right = 0;
    Coord m_bottom = 0;
};

}  // namespace

const BoxGeometry& GeometryOf(BoxKind kind) { return kGeometry[static_cast<int>(kind)]; }

std::vector<std::string> WrapText(std::string_view text, int charsPerLine, int maxLines)
{
    const std::size_t perLine = static_cast<std::size_t>(std::max(charsPerLine, 1));
    std::vector<std::string> lines;
    std::string s = Trim(text);
    while (static_cast<int>(lines.size()) < maxLines && !s.empty()) {
        if (s.size() <= perLine) {
            lines.push_back(std::move(s));
            s.clear();
        } else {
            std::size_t breakAt = 0;  // count of bytes up to the last blank; 0: none
            for (std::size_t i = 0; i < perLine; ++i) {
                if (IsBlank(s[i])) {
                    s[i] = ' ';
                    breakAt = i + 1;
                }
            }
            if (breakAt > 0) {
                lines.push_back(Trim(std::string_view(s).substr(0, breakAt)));
                s.erase(0, breakAt);
            } else {
                lines.push_back(s.substr(0, perLine));
                s.erase(0, perLine);
            }
        }
        if (s.size() > kMaxRemainder) s.resize(kMaxRemainder);
        s = Trim(s);
    }
    return lines;
}

const std::vector<std::string>* TDiagDataPrim::SubList(int i) const
{
    const Entry& e = m_entries.at(i);
    return e.subList ? &*e.subList : nullptr;
}

void TDiagDataPrim::SetTop(const std::string& text)
{
    Clear();
    m_entries.push_back({text, std::nullopt});
}

void TDiagDataPrim::AddLevel1(const std::string& text)
{
    m_entries.push_back({text, std::nullopt});
}

void TDiagDataPrim::AddLevel2(const std::string& text)
{
    if (m_entries.empty()) m_entries.push_back({});
    if (m_entries.size() == 1) m_entries.push_back({});
    auto& subList = m_entries.back().subList;
    if (!subList) subList.emplace();
    subList->push_back(text);
}

DiagExtent TDiagDataPrim::Measure() const
{
    DiagExtent extent;
    Draw(nullptr, extent.width, extent.height);
    return extent;
}

void TDiagData::Draw(DrawSurface* surface, Coord& width, Coord& height) const
{
    Layout layout(surface);
    const std::string noText;
    const std::string& top = Count() > 0 ? Strings(0) : noText;

    if (Count() < 2) {
        layout.Box(BoxKind::Lone, 0, 0, top);
    } else {
        const Coord n = Count() - 1;
        const Coord rowSpan = (n - 1) * kColumnStep + kLevel1.width;
        Coord topX = 0;
        Coord firstX = 0;
        if (rowSpan < kTop.width)
            firstX = (kTop.width - rowSpan) / 2;
        else
            topX = (rowSpan - kTop.width) / 2;

        layout.Box(BoxKind::Top, topX, 0, top);
        layout.Line(firstX + kLevel1.width / 2, kTop.height + kGap, (n - 1) * kColumnStep, true);

        const Coord rowY = kTop.height + 2 * kGap;
        const Coord subStep = kLevel2.height + kGap;
        for (int i = 1; i <= n; ++i) {
            const Coord x = firstX + (i - 1) * kColumnStep;
            layout.Box(BoxKind::Level1, x, rowY, Strings(i));
            const std::vector<std::string>* subs = SubList(i);
            if (!subs) continue;
            const Coord m = static_cast<Coord>(subs->size());
            // Down to the mid-height of the last second-level box.
            layout.Line(x + kGap, rowY + kLevel1.height,
                        (m - 1) * subStep + kLevel2.height / 2 + kGap, false);
            for (Coord j = 0; j < m; ++j)
                layout.Box(BoxKind::Level2, x + 2 * kGap,
                           rowY + kLevel1.height + kGap + j * subStep, (*subs)[j]);
        }
    }

    const DiagExtent extent = layout.Extent();
    width = extent.width;
    height = extent.height;
}

}  // namespace orm
