#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/organigram/diagdata.h"
#include "core/organigram/drawn.h"
#include "core/organigram/wmfreader.h"
#include "core/organigram/wmfwriter.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

using test::Drawn;
using test::ParseWmf;
using test::Played;
using test::PlayWmf;
using test::RecordingSurface;
using test::WmfFile;

TDiagData SampleChart()
{
    TDiagData d;
    d.SetTop(ToCp1251("4 Организационная структура предприятия \"Ромашка\""));
    d.AddLevel1(ToCp1251("4.1 Дирекция"));
    d.AddLevel2(ToCp1251("4.1.1 Секретариат"));
    d.AddLevel2(ToCp1251("4.1.2 Юридический отдел и служба безопасности предприятия"));
    d.AddLevel1(ToCp1251("4.2 Производство"));
    d.AddLevel1(ToCp1251("4.3 Коммерческая служба"));
    d.AddLevel2(ToCp1251("4.3.1 Отдел сбыта"));
    return d;
}

std::vector<Drawn> Recorded(const TDiagDataPrim& d)
{
    RecordingSurface surface;
    Coord w = 0, h = 0;
    d.Draw(&surface, w, h);
    return surface.shapes;
}

TDiagData Columns(int level1, int level2UnderFirst = 0)
{
    TDiagData d;
    d.SetTop("top");
    for (int i = 0; i < level1; ++i) {
        d.AddLevel1("L");
        if (i == 0)
            for (int j = 0; j < level2UnderFirst; ++j) d.AddLevel2("S");
    }
    return d;
}

TEST(WmfWriter, HeadersDescribeTheFile)
{
    const std::string bytes = BuildOrganigramWmf(Columns(0));
    const WmfFile f = ParseWmf(bytes);
    EXPECT_EQ(f.key, 0x9AC6CDD7u);
    EXPECT_EQ(f.handle, 0);
    EXPECT_EQ(f.left, 0);
    EXPECT_EQ(f.top, 0);
    EXPECT_EQ(f.right, 740);
    EXPECT_EQ(f.bottom, 220);
    EXPECT_EQ(f.inch, 254);
    EXPECT_EQ(f.reserved, 0u);
    EXPECT_EQ(f.checksum, f.expectedChecksum);
    EXPECT_EQ(f.checksum, 0x55D7);

    EXPECT_EQ(f.type, 1);
    EXPECT_EQ(f.headerWords, 9);
    EXPECT_EQ(f.version, 0x0300);
    EXPECT_EQ(f.sizeWords, (bytes.size() - 22) / 2);
    EXPECT_EQ(f.maxRecordWords, f.largestRecordWords);
    EXPECT_EQ(f.members, 0);
    EXPECT_EQ(f.objects, PlayWmf(f).handleTableSize);

    // Window set up first, so that readers map the picture onto the bounding box.
    ASSERT_GE(f.records.size(), 2u);
    EXPECT_EQ(f.records[0].function, 0x020B);
    EXPECT_EQ(f.records[1].function, 0x020C);
}

TEST(WmfWriter, FilePlaysBackAsDrawn)
{
    const TDiagData chart = SampleChart();
    test::TempDir dir;
    const std::string path = dir.write("chart.wmf", BuildOrganigramWmf(chart));
    const WmfFile f = ParseWmf(test::TempDir::read(path));
    const DiagExtent extent = chart.Measure();
    EXPECT_EQ(f.right, extent.width);
    EXPECT_EQ(f.bottom, extent.height);

    const Played p = PlayWmf(f);
    EXPECT_EQ(p.windowX, 0);
    EXPECT_EQ(p.windowY, 0);
    EXPECT_EQ(p.windowWidth, extent.width);
    EXPECT_EQ(p.windowHeight, extent.height);
    EXPECT_EQ(p.textColor, 0u);
    EXPECT_EQ(p.bkMode, 1);  // transparent
    EXPECT_EQ(p.shapes, Recorded(chart));
    // Pens and the font are replaced, not piled up.
    EXPECT_LE(p.handleTableSize, 4u);
}

TEST(WmfWriter, LongFaceAndTextStayInTheirFields)
{
    WmfWriter w(500, 500);
    w.SetFont({std::string(40, 'F'), 10, FontPitch::Default, 0});
    const std::string text(40000, 't');
    w.DrawClippedText(10, 10, {0, 0, 100, 100}, text);
    const Played p = PlayWmf(ParseWmf(w.Finish()));
    ASSERT_EQ(p.shapes.size(), 1u);
    EXPECT_EQ(p.shapes[0].font.face, std::string(31, 'F'));
    EXPECT_EQ(p.shapes[0].text, std::string(0x7FFF, 't'));
}

// Bounding box and coordinates are signed 16-bit: larger charts are scaled down together with
// their units per inch, so they keep their physical size.
TEST(WmfWriter, OversizedChartsAreScaledToFit)
{
    struct Case {
        const char* id;
        TDiagData chart;
        int inch;
    };
    Case cases[] = {
        {"91 columns fit as they are", Columns(91), 254},
        {"157 sub-entries fit as they are", Columns(1, 157), 254},
        {"92 columns", Columns(92), 251},           // 32767 * 254 / 33110
        {"158 sub-entries", Columns(1, 158), 253},  // 32767 * 254 / 32870
        {"24000 columns", Columns(24000), 1},       // wider than 1 unit per inch allows
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const DiagExtent extent = c.chart.Measure();
        const WmfFile f = ParseWmf(BuildOrganigramWmf(c.chart));
        EXPECT_EQ(f.inch, c.inch);
        EXPECT_EQ(f.checksum, f.expectedChecksum);
        const double largest = std::max(extent.width, extent.height);
        const double scale = c.inch > 1 ? c.inch / 254.0 : 32767.0 / largest;
        EXPECT_NEAR(f.right, extent.width * scale, 0.5);
        EXPECT_NEAR(f.bottom, extent.height * scale, 0.5);
        EXPECT_LE(std::max(f.right, f.bottom), 32767);
        EXPECT_GT(std::max(f.right, f.bottom), 32767 - 254);  // not needlessly small

        const Played p = PlayWmf(f);
        const std::vector<Drawn> recorded = Recorded(c.chart);
        ASSERT_EQ(p.shapes.size(), recorded.size());
        for (std::size_t i = 0; i < recorded.size(); ++i) {
            const Drawn& got = p.shapes[i];
            const Drawn& want = recorded[i];
            ASSERT_EQ(got.kind, want.kind);
            ASSERT_NEAR(got.box.left, want.box.left * scale, 0.5) << i;
            ASSERT_NEAR(got.box.bottom, want.box.bottom * scale, 0.5) << i;
            ASSERT_LE(got.box.right, f.right);
            ASSERT_LE(got.box.bottom, f.bottom);
            if (got.kind == Drawn::Text) {
                ASSERT_GE(got.font.height, 1);  // 0 would be the device's default size
                ASSERT_EQ(got.text, want.text);
            } else {
                ASSERT_GE(got.pen, 1);
            }
        }
    }
}

}  // namespace
}  // namespace orm
