#include "format/wmfplayer.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <string>

#include "core/organigram/diagdata.h"
#include "core/organigram/wmfwriter.h"
#include "core/text/cp1251.h"
#include "format/recordingdevice.h"
#include "format/wmfbuild.h"

namespace orm {
namespace {

using test::At;
using test::IsDark;
using test::IsWhite;
using test::Render;
using test::Rgb;
using test::WmfBuild;

QByteArray Bytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray Cp1251(const char* utf8) { return Bytes(ToCp1251(utf8)); }

bool IsRed(const QColor& c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }

// A frame of 100 x 100 logical units drawn 1:1 onto a 100 x 100 image, with a red brush and no
// pen selected, so shapes show as red areas.
WmfBuild RedShapes()
{
    WmfBuild b;
    b.Brush(0, Rgb(255, 0, 0)).Select(0).Pen(5, 0, 0).Select(1);
    return b;
}

QImage Red100(const WmfBuild& b) { return Render(b.Placeable(0, 0, 100, 100, 96), 100, 100); }

// ------------------------------------------------------------------ our own organigrams

TEST(WmfPlayer, DrawsOurOrganigramWhereTheLayoutPutsIt)
{
    // One first-level entry with two second-level entries: the top box at (20, 20)-(720, 200),
    // the column box at (215, 300)-(525, 480), sub-boxes at x 315..575, y 530..685 and
    // 735..890, the trunk at x 265 from y 480 to 812.
    TDiagData d;
    d.SetTop("top");
    d.AddLevel1(ToCp1251("ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ"));
    d.AddLevel2("S");
    d.AddLevel2("S");
    const QByteArray wmf = Bytes(BuildOrganigramWmf(d));
    const auto picture = WmfPicture::Parse(wmf);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Bounds(), QRectF(0, 0, 740, 910));
    EXPECT_DOUBLE_EQ(picture->PhysicalSizeMm().width(), 74.0);
    EXPECT_DOUBLE_EQ(picture->PhysicalSizeMm().height(), 91.0);

    // One unit per pixel.
    const QImage image = Render(wmf, 740, 910);
    // Box outlines (pen 6 centred on the edges) and white insides.
    EXPECT_TRUE(IsDark(At(image, 20, 110)));
    EXPECT_TRUE(IsDark(At(image, 720, 110)));
    EXPECT_TRUE(IsDark(At(image, 370, 20)));
    EXPECT_TRUE(IsDark(At(image, 370, 200)));
    EXPECT_TRUE(IsWhite(At(image, 60, 60)));
    EXPECT_TRUE(IsWhite(At(image, 10, 110)));
    EXPECT_TRUE(IsDark(At(image, 215, 390)));
    EXPECT_TRUE(IsDark(At(image, 525, 390)));
    EXPECT_TRUE(IsDark(At(image, 575, 607)));
    EXPECT_TRUE(IsDark(At(image, 450, 890)));
    // Connectors: top down to the bar, bar down to the column, trunk, branches.
    EXPECT_TRUE(IsDark(At(image, 370, 225)));
    EXPECT_TRUE(IsDark(At(image, 370, 275)));
    EXPECT_TRUE(IsDark(At(image, 265, 700)));
    EXPECT_TRUE(IsDark(At(image, 290, 607)));
    EXPECT_TRUE(IsDark(At(image, 290, 812)));
    // The trunk ends at the middle of the last sub-box.
    EXPECT_TRUE(IsWhite(At(image, 265, 850)));
    EXPECT_TRUE(IsWhite(At(image, 240, 700)));

    // The unbroken first-level text, cut after 18 characters, is far wider than its box: it is
    // cut at the clip rectangle, 5 units inside the box, and shows inside it. Its one line
    // spans y 372..406.
    int inkInside = 0;
    for (int y = 372; y < 406; ++y) {
        for (int x : {218, 219, 520, 521}) EXPECT_TRUE(IsWhite(At(image, x, y))) << x << ", " << y;
        for (int x = 230; x < 510; ++x) inkInside += IsDark(At(image, x, y));
    }
    EXPECT_GT(inkInside, 100);
}

TEST(WmfPlayer, ShowsOurTextsAsTheyWereWritten)
{
    TDiagData d;
    d.SetTop(ToCp1251("4 Структурные звенья"));
    d.AddLevel1(ToCp1251("4.1 Дирекция"));
    const QByteArray wmf = Bytes(BuildOrganigramWmf(d));
    test::RecordingDevice device(740, 500);
    {
        QPainter painter(&device);
        WmfPicture::Parse(wmf)->Play(painter, QRectF(0, 0, 740, 500));
    }
    const auto& texts = device.engine.texts;
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, QStringLiteral("4 Структурные звенья"));
    EXPECT_EQ(texts[1].text, QStringLiteral("4.1 Дирекция"));
    // "Arial Cyr" asked for with fixed pitch is still the proportional Arial face.
    const QFontInfo info(texts[0].font);
    EXPECT_EQ(info.family(), QStringLiteral("Liberation Sans"));
    EXPECT_FALSE(info.fixedPitch());
    // The cell of the top line is its line height, 43 units: the text's bottom sits on the
    // bottom of the line, centred in the box.
    const QFontMetricsF metrics(texts[0].font, &device);
    EXPECT_NEAR(metrics.ascent() + metrics.descent(), 43, 1.0);
    const double top = (20 + 200 - 43 - 2) / 2;
    EXPECT_NEAR(texts[0].at.y() + metrics.descent(), top + 43, 0.5);
    EXPECT_NEAR(texts[0].at.x() + metrics.horizontalAdvance(texts[0].text) / 2, 370, 0.5);
    EXPECT_EQ(texts[0].clip, QRectF(25, top, 690, 43));
}

// ------------------------------------------------------------------ mapping and frames

TEST(WmfPlayer, MapsTheWindowOntoTheTarget)
{
    // Placeable frame of 1000 x 500 units at 1000 per inch, a window of 100 x 50 in it.
    WmfBuild placeable = RedShapes();
    placeable.WindowOrg(0, 0).WindowExt(100, 50).Rectangle(10, 10, 50, 40);
    const QByteArray bytes = placeable.Placeable(0, 0, 1000, 500, 1000);
    const auto picture = WmfPicture::Parse(bytes);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->IsPlaceable());
    EXPECT_DOUBLE_EQ(picture->PhysicalSizeMm().width(), 25.4);
    EXPECT_EQ(picture->SizeAtDpi(96, 96), QSize(96, 48));
    const QImage image = Render(bytes, 200, 100);
    EXPECT_TRUE(IsRed(At(image, 60, 50)));
    EXPECT_TRUE(IsRed(At(image, 21, 21)));
    EXPECT_TRUE(IsWhite(At(image, 18, 50)));
    EXPECT_TRUE(IsWhite(At(image, 102, 50)));

    // A plain file's window is its frame, here with y growing upwards.
    WmfBuild flipped = RedShapes();
    flipped.MapMode(8).WindowOrg(0, 100).WindowExt(100, -100).Rectangle(0, 0, 50, 50);
    const auto plain = WmfPicture::Parse(flipped.Plain());
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->IsPlaceable());
    EXPECT_EQ(plain->Bounds(), QRectF(0, 0, 100, 100));
    EXPECT_NEAR(plain->PhysicalSizeMm().width(), 100 * 25.4 / 96, 1e-9);
    const QImage up = Render(flipped.Plain(), 100, 100);
    EXPECT_TRUE(IsRed(At(up, 25, 75)));
    EXPECT_TRUE(IsWhite(At(up, 25, 25)));
    EXPECT_TRUE(IsWhite(At(up, 75, 75)));

    // A plain file without a window is framed by what it draws.
    WmfBuild bare = RedShapes();
    bare.Rectangle(100, 100, 300, 200);
    const auto measured = WmfPicture::Parse(bare.Plain());
    ASSERT_TRUE(measured);
    EXPECT_EQ(measured->Bounds(), QRectF(100, 100, 200, 100));
    const QImage full = Render(bare.Plain(), 200, 100);
    EXPECT_TRUE(IsRed(At(full, 1, 1)));
    EXPECT_TRUE(IsRed(At(full, 198, 98)));

    // Metric mapping: 0.1 mm units with y up, on a frame of 254 units per inch.
    WmfBuild metric = RedShapes();
    metric.MapMode(2).Rectangle(0, -50, 50, -100);
    EXPECT_TRUE(IsRed(At(Render(metric.Placeable(0, 0, 100, 100, 254), 100, 100), 25, 75)));
}

TEST(WmfPlayer, PlaceableBytesKeepThePicture)
{
    TDiagData d;
    d.SetTop("t");
    const std::string own = BuildOrganigramWmf(d);
    EXPECT_EQ(WmfPicture::Parse(Bytes(own))->PlaceableBytes(), Bytes(own));

    WmfBuild b = RedShapes();
    b.WindowOrg(-50, 10).WindowExt(200, 100).Rectangle(0, 20, 100, 60);
    const auto plain = WmfPicture::Parse(b.Plain());
    ASSERT_TRUE(plain);
    const QByteArray framed = plain->PlaceableBytes();
    const auto again = WmfPicture::Parse(framed);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->IsPlaceable());
    EXPECT_EQ(again->PhysicalSizeMm(), plain->PhysicalSizeMm());
    EXPECT_EQ(Render(framed, 200, 100), Render(b.Plain(), 200, 100));
    EXPECT_TRUE(IsRed(At(Render(framed, 200, 100), 100, 40)));
}

// A plain file without a window is framed by what it draws, and centred text puts that frame's
// edges between units: the placeable header keeps the size, which rounding each edge on its own
// would make a unit larger for some of these.
TEST(WmfPlayer, PlaceableBytesKeepTheSizeOfAFrameBetweenUnits)
{
    const double unitMm = 25.4 / WmfPicture::kPlainUnitsPerInch;
    for (const char* text : {"i", "Wi", "Mmm", "Отдел", "Управление кадров"}) {
        for (int x = 100; x <= 103; ++x) {
            WmfBuild b;
            b.Font(-17, "Arial").Select(0).TextAlign(6).TextOut(x, 10, Cp1251(text));
            const auto plain = WmfPicture::Parse(b.Plain());
            ASSERT_TRUE(plain);
            const auto framed = WmfPicture::Parse(plain->PlaceableBytes());
            ASSERT_TRUE(framed);
            const QSizeF before = plain->PhysicalSizeMm();
            const QSizeF after = framed->PhysicalSizeMm();
            EXPECT_NEAR(after.width(), before.width(), unitMm / 2 + 1e-9) << text << " " << x;
            EXPECT_NEAR(after.height(), before.height(), unitMm / 2 + 1e-9) << text << " " << x;
        }
    }
}

TEST(WmfPlayer, RefusesWhatIsNoMetafile)
{
    EXPECT_FALSE(WmfPicture::Parse(QByteArray()));
    EXPECT_FALSE(WmfPicture::Parse("Hello, world! This is a text file, not a picture."));
    EXPECT_FALSE(WmfPicture::Parse(QByteArray::fromHex("89504e470d0a1a0a0000000d49484452")));
    QByteArray placeableKeyOnly = QByteArray::fromHex("d7cdc69a") + QByteArray(40, 'x');
    EXPECT_FALSE(WmfPicture::Parse(placeableKeyOnly));
    // A metafile that draws nothing and sets up no frame has no size to show.
    EXPECT_FALSE(WmfPicture::Parse(WmfBuild().Plain()));
    // A placeable file without a bounding box is framed by its records.
    WmfBuild b = RedShapes();
    b.Rectangle(0, 0, 40, 20);
    const auto boxless = WmfPicture::Parse(b.Placeable(0, 0, 0, 0, 0));
    ASSERT_TRUE(boxless);
    EXPECT_EQ(boxless->Bounds(), QRectF(0, 0, 40, 20));
}

// ------------------------------------------------------------------ device context

TEST(WmfPlayer, ObjectTableReusesTheLowestFreeSlot)
{
    WmfBuild b;
    b.Pen(0, 10, Rgb(255, 0, 0));  // slot 0
    b.Brush(1, 0);                 // slot 1: hollow
    b.Pen(0, 10, Rgb(0, 255, 0));  // slot 2
    b.Select(0).Select(1);
    b.Delete(0);  // red is still selected and stays usable
    b.Rectangle(10, 10, 90, 90);
    b.Pen(0, 10, Rgb(0, 0, 255));  // takes slot 0 again
    b.Select(0).Rectangle(30, 30, 70, 70);
    b.Select(2).MoveTo(0, 50).LineTo(20, 50);
    const QImage image = Red100(b);
    EXPECT_TRUE(IsRed(At(image, 10, 30)));
    EXPECT_EQ(At(image, 30, 50), QColor(0, 0, 255));
    EXPECT_EQ(At(image, 5, 50).green(), 255);
    EXPECT_TRUE(IsWhite(At(image, 50, 50)));  // hollow brush
}

TEST(WmfPlayer, SaveAndRestoreStateAndClip)
{
    WmfBuild b;
    b.Pen(5, 0, 0).Select(0);
    b.Brush(0, Rgb(255, 0, 0)).Brush(0, Rgb(0, 0, 255));  // slots 1 and 2
    b.Select(1).Rec(0x001E, {});                          // SaveDC with red
    b.Select(2);
    b.Rec(0x0416, {100, 50, 0, 0});   // IntersectClipRect left half
    b.Rec(0x0415, {20, 20, 10, 10});  // ExcludeClipRect a hole
    b.Rectangle(0, 0, 100, 100);
    b.Rec(0x0127, {0xFFFF});  // RestoreDC(-1): red again, no clip
    b.Rectangle(0, 80, 100, 100);
    const QImage image = Red100(b);
    EXPECT_EQ(At(image, 25, 50), QColor(0, 0, 255));
    EXPECT_TRUE(IsWhite(At(image, 75, 50)));
    EXPECT_TRUE(IsWhite(At(image, 15, 15)));
    EXPECT_TRUE(IsRed(At(image, 75, 90)));
    EXPECT_TRUE(IsRed(At(image, 25, 90)));
}

TEST(WmfPlayer, ArcsAndFillModes)
{
    auto image = [](auto draw) {
        WmfBuild b = RedShapes();
        draw(b);
        return Red100(b);
    };
    // Pie and chord from 3 o'clock counterclockwise to 12 o'clock.
    const QImage pie = image([](WmfBuild& b) { b.Rec(0x081A, {0, 50, 50, 100, 100, 100, 0, 0}); });
    EXPECT_TRUE(IsRed(At(pie, 70, 30)));
    EXPECT_TRUE(IsWhite(At(pie, 30, 30)));
    EXPECT_TRUE(IsWhite(At(pie, 70, 70)));
    const QImage chord = image([](WmfBuild& b) {
        b.Rec(0x0830, {0, 50, 50, 100, 100, 100, 0, 0});
    });
    EXPECT_TRUE(IsRed(At(chord, 80, 18)));
    EXPECT_TRUE(IsWhite(At(chord, 60, 32)));

    // A square with a square inside, both drawn the same way round: a hole when alternating,
    // filled when winding.
    auto nested = [&](int mode) {
        return image([mode](WmfBuild& b) {
            b.Rec(0x0106, {mode});
            b.Rec(0x0538,
                  {2, 4, 4, 0, 0, 100, 0, 100, 100, 0, 100, 30, 30, 70, 30, 70, 70, 30, 70});
        });
    };
    EXPECT_TRUE(IsWhite(At(nested(1), 50, 50)));
    EXPECT_TRUE(IsRed(At(nested(1), 10, 50)));
    EXPECT_TRUE(IsRed(At(nested(2), 50, 50)));
}

TEST(WmfPlayer, PenStylesHatchesAndBackground)
{
    WmfBuild dashed;
    dashed.Pen(1, 0, 0).Select(0).MoveTo(0, 50).LineTo(100, 50);
    const QImage line = Red100(dashed);
    int dark = 0;
    int light = 0;
    // A one-pixel line between two pixel rows.
    for (int x = 5; x < 95; ++x)
        (IsWhite(At(line, x, 49)) && IsWhite(At(line, x, 50)) ? light : dark) += 1;
    EXPECT_GT(dark, 20);
    EXPECT_GT(light, 10);

    // A black cross hatch over a green background when opaque, over white when transparent.
    auto hatched = [](int bkMode) {
        WmfBuild b;
        b.Pen(5, 0, 0).Select(0).Brush(2, 0, 4).Select(1);
        b.BkColor(Rgb(0, 255, 0)).BkMode(bkMode).Rectangle(0, 0, 100, 100);
        return Red100(b);
    };
    auto count = [](const QImage& image, auto pred) {
        int n = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) n += pred(image.pixelColor(x, y));
        return n;
    };
    auto green = [](const QColor& c) { return c.green() > 200 && c.red() < 60; };
    const QImage opaque = hatched(2);
    const QImage transparent = hatched(1);
    EXPECT_GT(count(opaque, green), 5000);
    EXPECT_GT(count(opaque, IsDark), 500);
    EXPECT_EQ(count(transparent, green), 0);
    EXPECT_GT(count(transparent, IsWhite), 5000);
}

// ------------------------------------------------------------------ text

struct TextCase {
    std::vector<test::DrawnText> texts;
    std::unique_ptr<test::RecordingDevice> device;
};

// Plays b on a 1000 x 1000 frame mapped 1:1 onto a recording device.
TextCase PlayText(const WmfBuild& b)
{
    TextCase out;
    out.device = std::make_unique<test::RecordingDevice>(1000, 1000);
    {
        QPainter painter(out.device.get());
        WmfPicture::Parse(b.Placeable(0, 0, 1000, 1000, 1440))
            ->Play(painter, QRectF(0, 0, 1000, 1000));
    }
    out.texts = out.device->engine.texts;
    return out;
}

TEST(WmfPlayer, TextCharacterSetsAndFaces)
{
    WmfBuild b;
    b.Font(-20, "Arial Cyr", 204, 0, 1).Select(0).TextOut(10, 10, Cp1251("Привет"));
    b.Font(-20, "Arial", 0).Select(1).TextOut(10, 100, QByteArray("\x80 \xC0"));
    b.Font(-20, "Arial Cyr", 0).Select(2).TextOut(10, 200, QByteArray("\xC0"));
    b.Font(-20, "Times New Roman", 1, 0, 0x12).Select(3).TextOut(10, 300, Cp1251("Ёж"));
    const TextCase c = PlayText(b);
    ASSERT_EQ(c.texts.size(), 4u);
    EXPECT_EQ(c.texts[0].text, QStringLiteral("Привет"));
    EXPECT_EQ(QFontInfo(c.texts[0].font).family(), QStringLiteral("Liberation Sans"));
    EXPECT_NEAR(c.texts[0].font.pointSizeF() * 96 / 72, 20, 0.01);
    EXPECT_EQ(c.texts[1].text, QStringLiteral("€ À"));
    EXPECT_EQ(c.texts[2].text, QStringLiteral("А"));  // Cyrillic A: the " Cyr" alias
    EXPECT_EQ(c.texts[3].text, QStringLiteral("Ёж"));
    EXPECT_EQ(QFontInfo(c.texts[3].font).family(), QStringLiteral("Liberation Serif"));
}

TEST(WmfPlayer, TextAlignmentCurrentPositionAndEscapement)
{
    WmfBuild b;
    b.Font(-30, "Arial").Select(0);
    b.TextAlign(0).TextOut(500, 100, "Ab");       // left, top
    b.TextAlign(2 | 24).TextOut(500, 200, "Ab");  // right, baseline
    b.TextAlign(6 | 8).TextOut(500, 300, "Ab");   // centre, bottom
    b.MoveTo(100, 400).TextAlign(1 | 24).TextOut(0, 0, "Ab").TextOut(0, 0, "cd");
    b.TextAlign(24).Font(-30, "Arial", 0, 900).Select(1).TextOut(500, 600, "Up");
    const TextCase c = PlayText(b);
    ASSERT_EQ(c.texts.size(), 6u);
    const QFontMetricsF m(c.texts[0].font, c.device.get());
    const double width = m.horizontalAdvance(QStringLiteral("Ab"));
    EXPECT_NEAR(c.texts[0].at.x(), 500, 0.01);
    EXPECT_NEAR(c.texts[0].at.y(), 100 + m.ascent(), 0.01);
    EXPECT_NEAR(c.texts[1].at.x(), 500 - width, 0.01);
    EXPECT_NEAR(c.texts[1].at.y(), 200, 0.01);
    EXPECT_NEAR(c.texts[2].at.x(), 500 - width / 2, 0.01);
    EXPECT_NEAR(c.texts[2].at.y(), 300 - m.descent(), 0.01);
    // TA_UPDATECP: from the current position, and on from where the text ended.
    EXPECT_NEAR(c.texts[3].at.x(), 100, 0.01);
    EXPECT_NEAR(c.texts[4].at.x(), 100 + width, 0.5);
    EXPECT_NEAR(c.texts[4].at.y(), 400, 0.01);
    // 90 degrees of escapement: the baseline runs upwards.
    const QPointF direction =
        c.texts[5].transform.map(QPointF(1, 0)) - c.texts[5].transform.map(QPointF(0, 0));
    EXPECT_NEAR(direction.x(), 0, 1e-6);
    EXPECT_NEAR(direction.y(), -1, 1e-6);
    EXPECT_NEAR(c.texts[5].at.x(), 500, 0.01);
}

TEST(WmfPlayer, ExtTextOutClipsAndSpacesCharacters)
{
    WmfBuild b;
    b.Font(-30, "Arial").Select(0).BkMode(1);
    b.ExtTextOut(100, 100, 4, {90, 70, 140, 110}, "Clipped text");
    b.ExtTextOut(100, 300, 0, {}, "ABC", {40, 40, 40});
    const TextCase c = PlayText(b);
    ASSERT_EQ(c.texts.size(), 4u);
    EXPECT_EQ(c.texts[0].text, QStringLiteral("Clipped text"));
    EXPECT_EQ(c.texts[0].clip, QRectF(90, 70, 50, 40));
    EXPECT_EQ(c.texts[1].text, QStringLiteral("A"));
    EXPECT_NEAR(c.texts[2].at.x() - c.texts[1].at.x(), 40, 0.01);
    EXPECT_NEAR(c.texts[3].at.x() - c.texts[1].at.x(), 80, 0.01);
}

// ------------------------------------------------------------------ bitmaps

QByteArray Bgr(std::initializer_list<std::uint32_t> colors)
{
    QByteArray row;
    for (std::uint32_t c : colors)
        row.append(char((c >> 16) & 0xFF)).append(char((c >> 8) & 0xFF)).append(char(c & 0xFF));
    return row;
}

TEST(WmfPlayer, DeviceIndependentBitmaps)
{
    const std::uint32_t red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255), green = Rgb(0, 255, 0),
                        yellow = Rgb(255, 255, 0);
    // Each bitmap is 2 x 2 pixels, stretched over the whole frame.
    auto quadrants = [](const QByteArray& dib, QColor tl, QColor tr, QColor bl, QColor br) {
        WmfBuild b;
        b.StretchDib(0, 0, 100, 100, 0, 0, 2, 2, dib);
        const QImage image = Red100(b);
        EXPECT_EQ(At(image, 20, 20), tl);
        EXPECT_EQ(At(image, 80, 20), tr);
        EXPECT_EQ(At(image, 20, 80), bl);
        EXPECT_EQ(At(image, 80, 80), br);
    };
    const QByteArray rgb24 = WmfBuild::Dib(2, 2, 24, {}, {Bgr({red, blue}), Bgr({green, yellow})});
    quadrants(rgb24, Qt::red, Qt::blue, Qt::green, Qt::yellow);
    quadrants(WmfBuild::Dib(2, 2, 24, {}, {Bgr({red, blue}), Bgr({green, yellow})}, true), Qt::red,
              Qt::blue, Qt::green, Qt::yellow);
    quadrants(WmfBuild::Dib(2, 2, 1, {red, blue}, {QByteArray("\x40"), QByteArray("\x80")}),
              Qt::red, Qt::blue, Qt::blue, Qt::red);
    quadrants(WmfBuild::Dib(2, 2, 4, {0, red, blue, green, yellow},
                            {QByteArray("\x12"), QByteArray("\x34")}),
              Qt::red, Qt::blue, Qt::green, Qt::yellow);
    quadrants(WmfBuild::Dib(2, 2, 8, {red, blue, green, yellow},
                            {QByteArray("\x03\x02"), QByteArray("\x01\x00")}),
              Qt::yellow, Qt::green, Qt::blue, Qt::red);
    const QByteArray x(1, 0);
    quadrants(
        WmfBuild::Dib(2, 2, 32, {},
                      {Bgr({red}) + x + Bgr({blue}) + x, Bgr({green}) + x + Bgr({yellow}) + x}),
        Qt::red, Qt::blue, Qt::green, Qt::yellow);

    // A source rectangle: StretchDIBits counts rows from the bottom of a bottom-up bitmap,
    // DIBStretchBlt from the top. A mirrored destination mirrors the picture.
    WmfBuild part;
    part.StretchDib(0, 0, 100, 100, 1, 0, 1, 1, rgb24);
    EXPECT_EQ(At(Red100(part), 50, 50), QColor(Qt::yellow));
    WmfBuild blt;
    blt.Raw(0x0B41,
            WmfBuild::DWord(0x00CC0020) + WmfBuild::Words({1, 1, 0, 1, 100, 100, 0, 0}) + rgb24);
    EXPECT_EQ(At(Red100(blt), 50, 50), QColor(Qt::blue));
    WmfBuild mirrored;
    mirrored.StretchDib(100, 0, -100, 100, 0, 0, 2, 2, rgb24);
    EXPECT_EQ(At(Red100(mirrored), 20, 20), QColor(Qt::blue));
    EXPECT_EQ(At(Red100(mirrored), 80, 80), QColor(Qt::green));
}

}  // namespace
// A plain metafile says nothing of its size: its units are pixels, but a larger picture is
// brought down to 1024 pixels on its longer side rather than covering many screens.
TEST(WmfPlayer, PlainMetafileNaturalSize)
{
    struct Case {
        int w, h;
        QSize natural;
    };
    for (const Case& c : {Case{800, 600, {800, 600}}, Case{1024, 300, {1024, 300}},
                          Case{16000, 10000, {1024, 640}}, Case{-4096, 8192, {512, 1024}}}) {
        SCOPED_TRACE(c.w);
        WmfBuild wmf;
        wmf.WindowExt(c.w, c.h).Rectangle(0, 0, c.w, c.h);
        const auto picture = WmfPicture::Parse(wmf.Plain());
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->SizeAtDpi(96, 96), c.natural);
        // The same size on paper, so the organigram window prints what it shows.
        EXPECT_NEAR(picture->PhysicalSizeMm().width(), c.natural.width() * 25.4 / 96, 0.1);
        // A placeable copy keeps it.
        EXPECT_EQ(WmfPicture::Parse(picture->PlaceableBytes())->SizeAtDpi(96, 96), c.natural);
    }
}

}  // namespace orm
