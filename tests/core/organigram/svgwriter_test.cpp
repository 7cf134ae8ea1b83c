#include "core/organigram/svgwriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "core/organigram/drawn.h"
#include "core/text/cp1251.h"

namespace orm {
namespace {

using test::Drawn;
using test::RecordingSurface;

std::string Unescape(std::string text)
{
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, ch] : kEntities)
        for (size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::strlen(entity), ch);
    return text;
}

// The shapes an SVG from the writer holds, read back with the writer's own conventions: a
// rectangle's width is one less than the GDI extent, a text is preceded by its clip path.
std::vector<Drawn> ShapesOf(const std::string& svg)
{
    static const std::regex kShape(
        R"re(<rect x="(-?\d+)" y="(-?\d+)" width="(-?\d+)" height="(-?\d+)" fill="#fff" stroke="#000" stroke-width="(\d+)"/>)re"
        R"re(|<line x1="(-?\d+)" y1="(-?\d+)" x2="(-?\d+)" y2="(-?\d+)" stroke="#000" stroke-width="(\d+)"/>)re"
        R"re(|<clipPath id="[^"]+"><rect x="(-?\d+)" y="(-?\d+)" width="(-?\d+)" height="(-?\d+)"/></clipPath><text x="(-?\d+)" y="-?\d+" font-size="\d+"[^>]*>([^<]*)</text>)re");
    std::vector<Drawn> shapes;
    for (std::sregex_iterator it(svg.begin(), svg.end(), kShape), end; it != end; ++it) {
        const std::smatch& m = *it;
        auto n = [&](int i) { return std::stoll(m[i].str()); };
        if (m[1].matched)
            shapes.push_back(test::RectAt(n(1), n(2), n(1) + n(3) + 1, n(2) + n(4) + 1, n(5)));
        else if (m[6].matched)
            shapes.push_back(test::LineAt(n(6), n(7), n(8), n(9), n(10)));
        else
            shapes.push_back({Drawn::Text, {n(11), n(12), n(11) + n(13), n(12) + n(14)}, n(15), 0, 0,
                              {}, 0, ToCp1251(Unescape(m[16].str()))});
    }
    return shapes;
}

// The SVG shows exactly what the layout drew, shape for shape, whatever the texts hold.
TEST(SvgWriter, HoldsTheShapesTheLayoutDraws)
{
    const std::vector<std::vector<std::string>> charts = {
        {"1 Лишь верх"},
        {"4 Звенья", "4.1 Дирекция"},
        {"4.1 <script>alert(1)</script>", "4.1.1 \"Склад\" & 'тара'", "-4.1.1.1 Рампа",
         "-4.1.1.2 Очень длинное название звена, которое не поместится в одну строку", "4.1.2 Бухгалтерия",
         "4.1.3 Цех"},
    };
    for (const auto& chart : charts) {
        TDiagData diagram;
        diagram.SetTop(ToCp1251(chart[0]));
        for (size_t i = 1; i < chart.size(); ++i) {
            if (chart[i][0] == '-')
                diagram.AddLevel2(ToCp1251(chart[i].substr(1)));
            else
                diagram.AddLevel1(ToCp1251(chart[i]));
        }
        RecordingSurface recorded;
        Coord w = 0, h = 0;
        diagram.Draw(&recorded, w, h);
        std::vector<Drawn> expected = recorded.shapes;
        for (Drawn& d : expected)  // the parts of a text the SVG does not carry as such
            if (d.kind == Drawn::Text) {
                d.y = 0;
                d.font = {};
                d.align = 0;
            }

        const std::string svg = BuildOrganigramSvg(diagram, ToCp1251("Органиграмма <&>"));
        SCOPED_TRACE(chart[0]);
        EXPECT_EQ(ShapesOf(svg), expected);
        EXPECT_NE(svg.find("viewBox=\"0 0 " + std::to_string(w) + " " + std::to_string(h) + "\""),
                  std::string::npos);
        EXPECT_NE(svg.find("<title>Органиграмма &lt;&amp;&gt;</title>"), std::string::npos);
        EXPECT_EQ(svg.find("<script"), std::string::npos);
    }
}

}  // namespace
}  // namespace orm
