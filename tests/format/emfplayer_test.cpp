#include <gtest/gtest.h>

#include <QPainter>
#include <random>

#include "format/emfbuilder.h"
#include "format/emfplayer.h"

using orm::EmfPicture;
using orm::test::EmfBuilder;

namespace {

constexpr quint32 kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kBlack = 0;

QImage render(const QByteArray& bytes, QSize size = QSize())
{
    const auto picture = EmfPicture::Parse(bytes);
    if (!picture)
        return {};
    if (size.isEmpty())
        size = picture->SizeAtDpi(96, 96);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture->Play(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QColor at(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

const QColor white(Qt::white), red(Qt::red), green(Qt::green), blue(Qt::blue), black(Qt::black);

TEST(EmfPlayer, HeaderGivesFrameAndNaturalSize)
{
    const QByteArray bytes = EmfBuilder(200, 100).finish();
    const auto picture = EmfPicture::Parse(bytes);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->SizeAtDpi(96, 96), QSize(200, 100));
    EXPECT_EQ(picture->SizeAtDpi(192, 192), QSize(400, 200));
    EXPECT_NEAR(picture->PhysicalSizeMm().width(), 52.92, 0.01);

    EXPECT_FALSE(EmfPicture::Parse(QByteArray()));
    EXPECT_FALSE(EmfPicture::Parse(bytes.left(60)));
    QByteArray wrongSignature = bytes;
    wrongSignature[40] = 'X';
    EXPECT_FALSE(EmfPicture::Parse(wrongSignature));
    // A frame without size falls back to the bounds; without either the picture is refused.
    QByteArray noFrame = bytes;
    for (int i = 24; i < 40; ++i)
        noFrame[i] = 0;
    ASSERT_TRUE(EmfPicture::Parse(noFrame));
    EXPECT_EQ(EmfPicture::Parse(noFrame)->SizeAtDpi(96, 96), QSize(200, 100));
    for (int i = 8; i < 24; ++i)
        noFrame[i] = 0;
    noFrame[16] = char(0xFF), noFrame[17] = char(0xFF), noFrame[18] = char(0xFF),
    noFrame[19] = char(0xFF);  // right = -1
    EXPECT_FALSE(EmfPicture::Parse(noFrame));
}

TEST(EmfPlayer, ShapesWithPensBrushesAndStockObjects)
{
    EmfBuilder emf(200, 100);
    emf.createPen(1, 0, 3, kBlue)
        .createBrush(2, 0, kRed)
        .select(1)
        .select(2)
        .rectangle(10, 10, 60, 60)
        .createBrush(3, 0, kGreen)
        .select(3)
        .ellipse(70, 10, 130, 90)
        .selectStock(5)  // hollow brush
        .rectangle(140, 10, 190, 60)
        .selectStock(4)  // black brush
        .selectStock(8)  // no pen
        .poly(86, {{140, 70}, {190, 70}, {165, 95}})
        .deleteObject(2);
    const QImage image = render(emf.finish());
    EXPECT_EQ(at(image, 35, 35), red);
    EXPECT_EQ(at(image, 10, 35), blue);  // the pen on the left edge
    EXPECT_EQ(at(image, 100, 50), green);
    EXPECT_EQ(at(image, 72, 12), white);  // outside the ellipse, inside its box
    EXPECT_EQ(at(image, 165, 35), white);
    EXPECT_EQ(at(image, 140, 35), blue);
    EXPECT_EQ(at(image, 165, 78), black);
    EXPECT_EQ(at(image, 145, 90), white);
}

TEST(EmfPlayer, LinesAndPolylinesIn16And32BitForms)
{
    EmfBuilder emf(100, 100);
    emf.createPen(1, 0, 5, kRed)
        .select(1)
        .moveTo(10, 10)
        .lineTo(90, 10)
        .poly(4, {{10, 30}, {90, 30}})
        .poly(87, {{10, 50}, {90, 50}})
        .moveTo(10, 70)
        .poly(89, {{50, 70}, {90, 70}})  // polyline-to starts at the current position
        .poly(6, {{90, 90}})             // and leaves it at its last point
        .createBrush(2, 0, kBlue)
        .select(2)
        .selectStock(8)
        .polyPolygon(91, {{{0, 80}, {8, 80}, {8, 99}, {0, 99}}, {{92, 0}, {99, 0}, {99, 8}}});
    const QImage image = render(emf.finish());
    for (int y : {10, 30, 50, 70})
        EXPECT_EQ(at(image, 30, y), red) << y;
    EXPECT_EQ(at(image, 30, 20), white);
    EXPECT_EQ(at(image, 90, 80), red);
    EXPECT_EQ(at(image, 4, 90), blue);
    EXPECT_EQ(at(image, 97, 3), blue);
}

TEST(EmfPlayer, BeziersArcsAndPies)
{
    EmfBuilder emf(100, 100);
    emf.createPen(1, 0, 3, kBlue)
        .select(1)
        .createBrush(2, 0, kRed)
        .select(2)
        // A pie of the top-right quarter: from 3 o'clock counter-clockwise to 12 o'clock.
        .record(47, {0, 0, 100, 100, 100, 50, 50, 0})
        .poly(85, {{0, 95}, {30, 95}, {60, 95}, {99, 95}});  // a straight bezier
    const QImage image = render(emf.finish());
    EXPECT_EQ(at(image, 75, 25), red);
    EXPECT_EQ(at(image, 25, 25), white);
    EXPECT_EQ(at(image, 75, 75), white);
    EXPECT_EQ(at(image, 50, 95), blue);
}

TEST(EmfPlayer, MappingModesAndTransforms)
{
    // Anisotropic: a 1000 × 1000 window over the whole 100 × 100 picture.
    EmfBuilder aniso(100, 100);
    aniso.mapMode(8).windowExt(1000, 1000).viewportExt(100, 100).createBrush(1, 0, kRed).select(1)
        .selectStock(8)
        .rectangle(500, 500, 1000, 1000);
    QImage image = render(aniso.finish());
    EXPECT_EQ(at(image, 75, 75), red);
    EXPECT_EQ(at(image, 25, 25), white);

    // Metric mapping: 0.01 mm units with y growing upwards from a viewport origin at the bottom.
    EmfBuilder metric(100, 100);
    metric.mapMode(3).viewportOrg(0, 100).createBrush(1, 0, kGreen).select(1).selectStock(8)
        .rectangle(0, 0, 1323, 1323);  // 13.23 mm = 50 px, at the bottom left
    image = render(metric.finish());
    EXPECT_EQ(at(image, 25, 75), green);
    EXPECT_EQ(at(image, 25, 25), white);

    // World transform: translated by (50, 0), then scaled by a left-multiplied 0.5.
    EmfBuilder world(100, 100);
    auto f = [](float v) {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        return qint32(bits);
    };
    world.record(35, {f(1), 0, 0, f(1), f(50), 0})
        .record(36, {f(0.5), 0, 0, f(0.5), 0, 0, 2})
        .createBrush(1, 0, kBlue).select(1).selectStock(8)
        .rectangle(0, 0, 100, 100);  // becomes (50, 0)-(100, 50)
    image = render(world.finish());
    EXPECT_EQ(at(image, 75, 25), blue);
    EXPECT_EQ(at(image, 25, 25), white);
    EXPECT_EQ(at(image, 75, 75), white);
}

TEST(EmfPlayer, ClippingAndSavedStates)
{
    EmfBuilder emf(100, 100);
    emf.createBrush(1, 0, kRed)
        .createBrush(2, 0, kBlue)
        .select(1)
        .selectStock(8)
        .saveDc()
        .intersectClip(0, 0, 50, 100)
        .excludeClip(10, 10, 20, 20)
        .select(2)
        .rectangle(0, 0, 100, 50)  // blue, only left of x = 50 and not in the hole
        .restoreDc(-1)             // red brush, no clip again
        .rectangle(0, 50, 100, 100)
        .record(75, {0, 5});  // select no clip region: still none
    const QImage image = render(emf.finish());
    EXPECT_EQ(at(image, 30, 25), blue);
    EXPECT_EQ(at(image, 75, 25), white);
    EXPECT_EQ(at(image, 15, 15), white);
    EXPECT_EQ(at(image, 75, 75), red);
    EXPECT_EQ(at(image, 25, 75), red);
}

TEST(EmfPlayer, PathsAreFilledAndStroked)
{
    EmfBuilder emf(100, 100);
    emf.createBrush(1, 0, kGreen)
        .select(1)
        .createPen(2, 0, 4, kRed)
        .select(2)
        .record(59, {})  // BeginPath
        .moveTo(10, 10)
        .lineTo(90, 10)
        .lineTo(90, 90)
        .record(61, {})  // CloseFigure
        .record(60, {})  // EndPath
        .record(63, {0, 0, -1, -1});  // StrokeAndFillPath
    const QImage image = render(emf.finish());
    EXPECT_EQ(at(image, 70, 30), green);
    EXPECT_EQ(at(image, 30, 70), white);
    EXPECT_EQ(at(image, 50, 10), red);
    EXPECT_EQ(at(image, 50, 50), red);  // on the closing diagonal
}

TEST(EmfPlayer, TextWithColourBackgroundAndAlignment)
{
    EmfBuilder emf(200, 60);
    emf.createFont(1, -30, "DejaVu Sans", 700)
        .select(1)
        .record(24, {qint32(kBlue)})   // text colour
        .record(25, {qint32(kGreen)})  // background colour, drawn: the mode is opaque
        .textOut(10, 10, QStringLiteral("Жж"))
        .record(18, {1})   // transparent background
        .record(22, {6})   // centred on the reference point
        .textOut(150, 10, QStringLiteral("Ш"));
    const QImage image = render(emf.finish());
    int blueLeft = 0, greenLeft = 0, blueRight = 0, greenRight = 0, minX = 200, maxX = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 200; ++x) {
            const QColor c = at(image, x, y);
            if (x < 110) {
                blueLeft += c == blue;
                greenLeft += c == green;
            } else {
                blueRight += c == blue;
                greenRight += c == green;
                if (c != white)
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
            }
        }
    }
    EXPECT_GT(blueLeft, 50);
    EXPECT_GT(greenLeft, 200);
    EXPECT_GT(blueRight, 50);
    EXPECT_EQ(greenRight, 0);
    EXPECT_NEAR((minX + maxX) / 2.0, 150, 3);
    EXPECT_EQ(at(image, 5, 5), white);  // top-aligned: nothing above the reference point
}

TEST(EmfPlayer, BitmapsAreStretchedAndPatternBlitsFill)
{
    QImage source(2, 2, QImage::Format_RGB32);
    source.setPixel(0, 0, qRgb(255, 0, 0));
    source.setPixel(1, 0, qRgb(0, 255, 0));
    source.setPixel(0, 1, qRgb(0, 0, 255));
    source.setPixel(1, 1, qRgb(0, 0, 0));
    EmfBuilder emf(100, 100);
    emf.stretchDib(QRect(0, 0, 40, 40), source)
        .createBrush(1, 0, kBlue)
        .select(1)
        // BitBlt with PATCOPY and no source: the brush fills (60, 60)-(100, 100).
        .record(76, {0, 0, -1, -1, 60, 60, 40, 40, 0x00F00021, 0, 0, 0x3F800000, 0, 0,
                     0x3F800000, 0, 0, 0, 0, 0, 0, 0, 0});
    const QImage image = render(emf.finish());
    EXPECT_EQ(at(image, 10, 10), red);
    EXPECT_EQ(at(image, 30, 10), green);
    EXPECT_EQ(at(image, 10, 30), blue);
    EXPECT_EQ(at(image, 30, 30), black);
    EXPECT_EQ(at(image, 50, 50), white);
    EXPECT_EQ(at(image, 80, 80), blue);
}

TEST(EmfPlayer, StretchesIntoTheTargetAndSkipsUnknownRecords)
{
    EmfBuilder emf(100, 100);
    emf.record(70, {8, 0x2B464D45, 1, 2})  // a comment
        .record(999, {1, 2, 3})
        .createBrush(1, 0, kRed)
        .select(1)
        .selectStock(8)
        .rectangle(0, 0, 50, 100);
    const QImage image = render(emf.finish(), QSize(300, 50));
    EXPECT_EQ(at(image, 140, 25), red);
    EXPECT_EQ(at(image, 160, 25), white);
}

// Random and mutated files must never crash the player nor keep it busy: each is checked
// against the bytes it has and every count is capped.
TEST(EmfPlayer, DamagedFilesNeverCrash)
{
    QImage source(3, 3, QImage::Format_RGB32);
    source.fill(Qt::red);
    // Two rectangles as region data: header, then the rectangles.
    QByteArray region;
    for (int v : {32, 1, 2, 32, 0, 0, 60, 60, 0, 0, 30, 30, 35, 35, 60, 60})
        EmfBuilder::put32(region, quint32(v));
    EmfBuilder emf(64, 64);
    emf.createPen(1, 1, 1, kRed).createBrush(2, 2, kGreen, 3).createFont(3, -12, "Arial")
        .record(95, {4, 0, 0, 0, 0, 0x10000 | 7, 3, 0, qint32(kBlue), 0, 2, 4, 2})
        .select(1).select(2).select(3)
        .saveDc().intersectClip(2, 2, 60, 60).mapMode(8).windowExt(64, 64).viewportExt(64, 64)
        .record(75, {qint32(region.size()), 1}, region)
        .rectangle(1, 1, 30, 30).ellipse(5, 5, 50, 40)
        .poly(86, {{1, 1}, {40, 5}, {20, 60}}).poly(2, {{0, 0}, {10, 10}, {20, 0}, {30, 10}})
        .polyPolygon(8, {{{0, 0}, {5, 5}, {0, 5}}, {{10, 10}, {20, 10}, {20, 20}}})
        .record(45, {0, 0, 60, 60, 60, 30, 30, 0})
        .select(4)
        .record(59, {}).moveTo(3, 3).lineTo(50, 3).lineTo(50, 50).record(61, {}).record(60, {})
        .record(62, {0, 0, -1, -1})
        .record(59, {}).ellipse(10, 10, 50, 50).record(60, {}).record(66, {}).record(67, {1})
        .record(71, {0, 0, 60, 60, qint32(region.size()), 2}, region)
        .textOut(4, 4, QStringLiteral("Пример"), 0x4, QRect(0, 0, 60, 20), {7, 7, 7, 7, 7, 7})
        .stretchDib(QRect(10, 10, 20, 20), source)
        .restoreDc(-1).deleteObject(1);
    const QByteArray original = emf.finish();
    ASSERT_TRUE(EmfPicture::Parse(original));

    std::mt19937 random(20240611);
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = original;
        const int edits = 1 + int(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const int pos = int(random() % quint32(bytes.size()));
            switch (random() % 4) {
            case 0: bytes[pos] = char(random()); break;
            case 1: bytes[pos] = char(0xFF); break;
            case 2: bytes[pos & ~3] = bytes[pos & ~3] ^ char(1 << (random() % 8)); break;
            case 3: bytes.truncate(pos + 1); break;
            }
        }
        // Keep most mutants playable: a broken header only tests the parser.
        if (round % 4 != 0 && bytes.size() >= 88)
            bytes.replace(0, 88, original.left(88));
        if (const auto picture = EmfPicture::Parse(bytes)) {
            image.fill(Qt::transparent);
            QPainter painter(&image);
            picture->Play(painter, QRectF(0, 0, 64, 64));
        }
    }
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(int(random() % 2000), '\0');
        for (char& c : bytes)
            c = char(random());
        bytes.replace(0, std::min<int>(88, int(bytes.size())), original.left(88));
        if (const auto picture = EmfPicture::Parse(bytes)) {
            QPainter painter(&image);
            picture->Play(painter, QRectF(0, 0, 64, 64));
        }
    }
}

}  // namespace
