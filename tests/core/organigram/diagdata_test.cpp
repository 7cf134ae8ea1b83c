#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/organigram/diagdata.h"
#include "core/organigram/drawn.h"
#include "core/text/cp1251.h"

namespace orm {
namespace {

using test::Drawn;
using test::LineAt;
using test::RecordingSurface;
using test::RectAt;

// Top text, then first-level texts each with the count of its second-level texts.
TDiagData Chart(const std::vector<int>& subCounts, const std::string& top = "top")
{
    TDiagData d;
    d.SetTop(top);
    for (std::size_t i = 0; i < subCounts.size(); ++i) {
        d.AddLevel1("L" + std::to_string(i + 1));
        for (int j = 0; j < subCounts[i]; ++j) d.AddLevel2("S" + std::to_string(j + 1));
    }
    return d;
}

struct Drawing {
    RecordingSurface surface;
    DiagExtent extent;
};

Drawing Draw(const TDiagData& d)
{
    Drawing out;
    d.Draw(&out.surface, out.extent.width, out.extent.height);
    return out;
}

TEST(DiagData, EntriesAndSubLists)
{
    TDiagData d;
    d.AddLevel2("orphan");  // an empty top and an empty first-level entry are made for it
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.Strings(0), "");
    EXPECT_EQ(d.Strings(1), "");
    EXPECT_EQ(*d.SubList(1), std::vector<std::string>{"orphan"});

    d.SetTop("T");  // drops everything, sub-lists included
    ASSERT_EQ(d.Count(), 1);
    EXPECT_EQ(d.SubList(0), nullptr);
    d.AddLevel2("a");  // never on the top entry
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.SubList(0), nullptr);

    d.AddLevel1("B");
    EXPECT_EQ(d.SubList(2), nullptr);
    d.AddLevel2("b1");
    d.AddLevel2("b1");  // duplicates kept, in order
    EXPECT_EQ(*d.SubList(2), (std::vector<std::string>{"b1", "b1"}));
    EXPECT_EQ(*d.SubList(1), std::vector<std::string>{"a"});
}

TEST(DiagLayout, TopOnly)
{
    const Drawing r = Draw(Chart({}));
    EXPECT_EQ(r.extent, (DiagExtent{740, 220}));
    EXPECT_EQ(r.surface.Of(Drawn::Rect), std::vector<Drawn>{RectAt(20, 20, 720, 200)});
    EXPECT_TRUE(r.surface.Of(Drawn::Line).empty());

    ASSERT_FALSE(r.surface.fonts.empty());
    EXPECT_EQ(r.surface.fonts.front(),
              (SurfaceFont{"Arial Cyr", 40, FontPitch::Fixed, kCyrillicCharSet}));
    EXPECT_EQ(r.surface.aligns, std::vector<unsigned>{14});

    // One line, centred vertically: (20 + 200 - 43 - 2) div 2 = 87.
    const std::vector<Drawn> texts = r.surface.Of(Drawn::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "top");
    EXPECT_EQ(texts[0].box, (SurfaceRect{25, 87, 715, 130}));
    EXPECT_EQ(texts[0].x, 370);
    EXPECT_EQ(texts[0].y, 130);
    EXPECT_EQ(texts[0].font.height, 43);
    EXPECT_EQ(texts[0].align, 14u);
}

TEST(DiagLayout, OneColumnSitsUnderTheTopCentre)
{
    const Drawing r = Draw(Chart({0}));
    EXPECT_EQ(r.extent, (DiagExtent{740, 500}));
    EXPECT_EQ(r.surface.Of(Drawn::Rect),
              (std::vector<Drawn>{RectAt(20, 20, 720, 200), RectAt(215, 300, 525, 480)}));
    EXPECT_EQ(r.surface.Of(Drawn::Line),
              (std::vector<Drawn>{LineAt(370, 200, 370, 250),  // from the top box
                                  LineAt(370, 250, 370, 250),  // the bar, of length 0
                                  LineAt(370, 250, 370, 300)}));
}

TEST(DiagLayout, ThreeColumnsAndSubBoxes)
{
    const Drawing r = Draw(Chart({2, 0, 0}));
    EXPECT_EQ(r.extent, (DiagExtent{1070, 910}));
    EXPECT_EQ(r.surface.Of(Drawn::Rect),
              (std::vector<Drawn>{RectAt(185, 20, 885, 200), RectAt(20, 300, 330, 480),
                                  RectAt(120, 530, 380, 685), RectAt(120, 735, 380, 890),
                                  RectAt(380, 300, 690, 480), RectAt(740, 300, 1050, 480)}));
    EXPECT_EQ(r.surface.Of(Drawn::Line),
              (std::vector<Drawn>{LineAt(535, 200, 535, 250),  // top connector
                                  LineAt(175, 250, 895, 250),  // bar
                                  LineAt(175, 250, 175, 300),
                                  LineAt(70, 480, 70, 812),  // trunk to the last sub-box
                                  LineAt(70, 607, 120, 607), LineAt(70, 812, 120, 812),
                                  LineAt(535, 250, 535, 300), LineAt(895, 250, 895, 300)}));
}

TEST(DiagLayout, WrappedTextIsCentredLineByLine)
{
    TDiagData d = Chart({0});
    d.AddLevel2(std::string(21, 'x') + std::string(5, 'y'));
    const std::vector<Drawn> texts = Draw(d).surface.Of(Drawn::Text);
    ASSERT_EQ(texts.size(), 4u);  // top, L1 and two lines of the sub-box
    // Sub-box (315, 530)-(575, 685): T = (530 + 685 - 2 * 24 - 2) div 2 = 582.
    EXPECT_EQ(texts[2].text, std::string(21, 'x'));
    EXPECT_EQ(texts[2].box, (SurfaceRect{320, 582, 570, 606}));
    EXPECT_EQ(texts[2].x, 445);
    EXPECT_EQ(texts[2].y, 606);
    EXPECT_EQ(texts[3].text, "yyyyy");
    EXPECT_EQ(texts[3].box, (SurfaceRect{320, 606, 570, 630}));
    EXPECT_EQ(texts[2].font.height, 24);
    EXPECT_EQ(texts[1].font.height, 34);
}

TEST(DiagLayout, MeasuringGivesTheDrawnExtent)
{
    const std::vector<std::vector<int>> shapes = {
        {}, {0}, {3}, {0, 0}, {1, 0, 5}, {0, 0, 0, 0, 0, 0, 9}, std::vector<int>(40, 2)};
    for (const auto& shape : shapes) {
        const TDiagData d = Chart(shape);
        const Drawing r = Draw(d);
        EXPECT_EQ(d.Measure(), r.extent) << shape.size() << " columns";
        Coord right = 0, bottom = 0;
        for (const Drawn& s : r.surface.Of(Drawn::Rect)) {
            right = std::max(right, s.box.right);
            bottom = std::max(bottom, s.box.bottom);
        }
        EXPECT_EQ(r.extent, (DiagExtent{right + 20, bottom + 20}));
    }
    // Not reachable from the program, which always sets the top first: a lone empty box.
    EXPECT_EQ(TDiagData().Measure(), (DiagExtent{740, 220}));
}

struct WrapCase {
    const char* id;
    std::string text;
    int chars;
    int lines;
    std::vector<std::string> expected;
};

TEST(WrapText, Cases)
{
    const std::string cyr =
        ToCp1251("ОрганизационнаяСтруктураЗаписка").append(ToCp1251("ПоложениеОбОтделеКадров"));
    const WrapCase cases[] = {
        {"hard cut inside a word", std::string(40, 'a'), 37, 4, {std::string(37, 'a'), "aaa"}},
        {"break after the last blank in reach", "aaaa bbbb cccc", 10, 4, {"aaaa bbbb", "cccc"}},
        {"exactly a line", std::string(18, 'q'), 18, 5, {std::string(18, 'q')}},
        {"blank just past the line is a hard cut", "abcde fg", 5, 4, {"abcde", "fg"}},
        {"runs of blanks go", "aaa   bbb", 5, 4, {"aaa", "bbb"}},
        {"ends trimmed, controls too", "\t  abc \r\n", 21, 6, {"abc"}},
        {"a control character breaks like a blank", "ab\tcdefgh", 5, 4, {"ab", "cdefg", "h"}},
        {"Cyrillic letters are not blanks", cyr, 37, 4, {cyr.substr(0, 37), cyr.substr(37)}},
        {"cut after the last line", std::string(200, 'z'), 21, 6,
         std::vector<std::string>(6, std::string(21, 'z'))},
        {"the remainder is cut to 255", "a" + std::string(300, ' ') + "b", 21, 6, {"a"}},
        {"blank text", " \x01 ", 37, 4, {}},
    };
    for (const WrapCase& c : cases)
        EXPECT_EQ(WrapText(c.text, c.chars, c.lines), c.expected) << c.id;
}

}  // namespace
}  // namespace orm
