#pragma once

// The organigram of one item: a top box, a row of first-level boxes below it and under each of
// them a column of second-level boxes. The data is a list of texts; the layout is integer
// arithmetic on a fixed table, run either on a drawing surface or, without one, only to
// measure the chart.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/organigram/drawsurface.h"

namespace orm {

// Box kinds. Lone is a top box without first-level entries: top dimensions, no connector.
enum class BoxKind { Lone = 0, Top = 1, Level1 = 2, Level2 = 3 };

struct BoxGeometry {
    Coord width;
    Coord height;
    int charsPerLine;
    int maxLines;
    Coord lineHeight;  // (height - 6) div maxLines
};

const BoxGeometry& GeometryOf(BoxKind kind);

// Splits text into at most maxLines lines of at most charsPerLine bytes, breaking after the last
// blank or control character within a line's reach, else inside the word. Bytes are
// Windows-1251 characters; those with code <= 32 count as blanks. Text beyond the last line is
// dropped without a mark.
std::vector<std::string> WrapText(std::string_view text, int charsPerLine, int maxLines);

struct DiagExtent {
    Coord width = 0;
    Coord height = 0;
    bool operator==(const DiagExtent&) const = default;
};

class TDiagDataPrim {
public:
    virtual ~TDiagDataPrim() = default;

    // Entry 0 is the top text, entries 1..Count()-1 the first-level texts.
    int Count() const { return static_cast<int>(m_entries.size()); }
    const std::string& Strings(int i) const { return m_entries.at(i).text; }
    // The second-level texts of entry i; nullptr when it has none (never an empty list).
    const std::vector<std::string>* SubList(int i) const;

    void Clear() { m_entries.clear(); }
    // Clears the diagram and starts it with the top text.
    void SetTop(const std::string& text);
    void AddLevel1(const std::string& text);
    // Appends to the last first-level entry, adding an empty top and an empty first-level
    // entry first when they are missing, so a second-level text never hangs on the top.
    void AddLevel2(const std::string& text);

    // Lays the chart out and draws it on surface (when not null). width and height receive
    // the chart's extent: the boxes plus a margin of 20 on every side.
    virtual void Draw(DrawSurface* surface, Coord& width, Coord& height) const = 0;

    // Draw without a surface.
    DiagExtent Measure() const;

private:
    struct Entry {
        std::string text;
        std::optional<std::vector<std::string>> subList;
    };
    std::vector<Entry> m_entries;
};

class TDiagData : public TDiagDataPrim {
public:
    // A diagram without entries is drawn as a lone empty top box.
    void Draw(DrawSurface* surface, Coord& width, Coord& height) const override;
};

}  // namespace orm
