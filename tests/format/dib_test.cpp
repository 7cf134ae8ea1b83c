#include "format/dib.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <initializer_list>
#include <random>

// Bitmaps of metafile records: the two record forms, every pixel format, and damaged or
// hostile headers, which must never be read past nor make huge images.

namespace orm::gdi {
namespace {

void Put16(QByteArray& out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}
void Put32(QByteArray& out, qint64 v)
{
    Put16(out, int(v & 0xFFFF));
    Put16(out, int((v >> 16) & 0xFFFF));
}

// A BITMAPINFOHEADER.
QByteArray Info(qint32 width, qint32 height, int bits, quint32 compression = 0,
                quint32 colorsUsed = 0)
{
    QByteArray h;
    Put32(h, 40);
    Put32(h, width);
    Put32(h, height);
    Put16(h, 1);
    Put16(h, bits);
    Put32(h, compression);
    for (int i = 0; i < 3; ++i) Put32(h, 0);
    Put32(h, colorsUsed);
    Put32(h, 0);
    return h;
}

QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes) out.append(char(b));
    return out;
}

std::optional<Dib> Packed(const QByteArray& bytes, int usage = 0,
                          const std::vector<QRgb>& palette = {})
{
    return DecodePackedDib(reinterpret_cast<const uchar*>(bytes.constData()),
                           std::size_t(bytes.size()), usage, palette);
}

QImage Split(const QByteArray& info, const QByteArray& bits, bool alpha = false,
             std::optional<int> rows = std::nullopt)
{
    return DecodeDib(reinterpret_cast<const uchar*>(info.constData()), quint32(info.size()),
                     reinterpret_cast<const uchar*>(bits.constData()), quint32(bits.size()), alpha,
                     rows);
}

QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) | 0xFF000000u; }

TEST(Dib, RowsRunBottomUpUnlessTheHeightIsNegative)
{
    // Two rows of 24-bit pixels, each padded to four bytes: blue-green-red order.
    const QByteArray bits = Bytes({255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0});
    for (bool topDown : {false, true}) {
        const QByteArray info = Info(2, topDown ? -2 : 2, 24);
        const auto packed = Packed(info + bits);
        ASSERT_TRUE(packed);
        const QImage split = Split(info, bits);
        for (const QImage& image : {packed->image, split}) {
            const int first = topDown ? 0 : 1;  // the image row of the first stored row
            EXPECT_EQ(At(image, 0, first), qRgb(0, 0, 255));
            EXPECT_EQ(At(image, 1, first), qRgb(0, 255, 0));
            EXPECT_EQ(At(image, 0, 1 - first), qRgb(255, 0, 0));
        }
    }
}

TEST(Dib, ColourTablesOfEachForm)
{
    // One-bit pixels 1,0,1 with a two-entry table.
    const QByteArray table = Bytes({0, 0, 255, 0, 0, 255, 0, 0});
    const QByteArray bits = Bytes({0xA0, 0, 0, 0});
    const auto rgb = Packed(Info(3, 1, 1) + table + bits);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(At(rgb->image, 0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(At(rgb->image, 1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(Split(Info(3, 1, 1) + table, bits), 2, 0), qRgb(0, 255, 0));

    // DIB_PAL_COLORS: two-byte indexes into the selected palette; unknown ones are black.
    const std::vector<QRgb> palette = {qRgb(1, 2, 3), qRgb(4, 5, 6)};
    const auto indexed = Packed(Info(3, 1, 1) + Bytes({1, 0, 9, 0}) + bits, 1, palette);
    ASSERT_TRUE(indexed);
    EXPECT_EQ(At(indexed->image, 0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(At(indexed->image, 1, 0), qRgb(4, 5, 6));

    // The old core header: 16-bit sizes and three-byte colours.
    QByteArray core;
    Put32(core, 12);
    Put16(core, 3);
    Put16(core, 1);
    Put16(core, 1);
    Put16(core, 4);
    core += Bytes({0, 0, 0, 10, 20, 30}) + QByteArray(14 * 3, '\0') + Bytes({0x01, 0x10, 0, 0});
    const auto old = Packed(core);
    ASSERT_TRUE(old);
    EXPECT_EQ(At(old->image, 0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(At(old->image, 1, 0), qRgb(30, 20, 10));
    EXPECT_EQ(At(old->image, 2, 0), qRgb(30, 20, 10));
    EXPECT_TRUE(Split(core, QByteArray(4, '\0')).isNull());  // EMF records have no core headers
}

TEST(Dib, BitFieldsScaleEachChannel)
{
    QByteArray info = Info(2, 1, 16, 3);
    Put32(info, 0xF800);
    Put32(info, 0x07E0);
    Put32(info, 0x001F);
    const QByteArray bits = Bytes({0x00, 0xF8, 0xE0, 0x07});  // pure red, pure green
    const auto packed = Packed(info + bits);
    ASSERT_TRUE(packed);
    EXPECT_EQ(At(packed->image, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(packed->image, 1, 0), qRgb(0, 255, 0));
    const QImage split = Split(info, bits);
    EXPECT_EQ(At(split, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(split, 1, 0), qRgb(0, 255, 0));
    EXPECT_TRUE(Split(info.left(48), bits).isNull());  // the masks cut off
}

// Masks of any width scale their channel's whole range; an alpha field gives transparency.
// Both record forms read them alike.
TEST(Dib, WideAndAlphaBitFieldsInBothForms)
{
    QByteArray info = Info(3, 1, 32, 3);
    Put32(info, 0x3FF00000);  // 10 bits each
    Put32(info, 0x000FFC00);
    Put32(info, 0x000003FF);
    QByteArray bits;
    Put32(bits, 0x3FF00000);            // red at full
    Put32(bits, 0x00080000 | 0x000FF);  // green at half, blue at a quarter
    Put32(bits, 0x000003FF);
    const auto packed = Packed(info + bits);
    ASSERT_TRUE(packed);
    EXPECT_EQ(At(packed->image, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(packed->image, 1, 0), qRgb(0, 127, 63));
    EXPECT_EQ(At(packed->image, 2, 0), qRgb(0, 0, 255));
    EXPECT_EQ(Split(info, bits), packed->image);

    QByteArray alpha = Info(2, 1, 32, 6);
    Put32(alpha, 0x00FF0000);
    Put32(alpha, 0x0000FF00);
    Put32(alpha, 0x000000FF);
    Put32(alpha, 0xFF000000);
    QByteArray pixels;
    Put32(pixels, 0xFF0000FF);  // opaque blue
    Put32(pixels, 0x0000FF00);  // transparent
    const auto withAlpha = Packed(alpha + pixels);
    ASSERT_TRUE(withAlpha);
    EXPECT_EQ(withAlpha->image.pixel(0, 0), qRgba(0, 0, 255, 255));
    EXPECT_EQ(qAlpha(withAlpha->image.pixel(1, 0)), 0);
    EXPECT_EQ(Split(alpha, pixels), withAlpha->image);
}

TEST(Dib, RunLengthRunsStayInsideTheBitmap)
{
    const QByteArray table = Bytes({0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0});
    // A run of 9 reds into a row of 4, end of line, delta to (1, 2), an absolute run of
    // 3 pixels (padded), then a run promising more bytes than there are.
    const QByteArray rle = Bytes({9, 1, 0, 0, 0, 2, 1, 1, 0, 3, 2, 1, 2, 0, 0, 5, 1});
    const auto packed = Packed(Info(4, 3, 8, 1, 3) + table + rle);
    ASSERT_TRUE(packed);
    const QImage& image = packed->image;
    EXPECT_EQ(At(image, 3, 2), qRgb(255, 0, 0));  // bottom row
    EXPECT_EQ(image.pixel(0, 1), 0u);             // not painted: transparent
    EXPECT_EQ(At(image, 1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(At(image, 2, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(image, 3, 0), qRgb(0, 0, 255));

    // The other form reads them alike, and either reads a top-down one, which no writer
    // should make but some do.
    const QImage split = Split(Info(4, 3, 8, 1, 3) + table, rle);
    ASSERT_FALSE(split.isNull());
    EXPECT_EQ(split, image);
    const QImage down = Split(Info(4, -3, 8, 1, 3) + table, rle);
    ASSERT_FALSE(down.isNull());
    EXPECT_EQ(down, image.mirrored(false, true));
    EXPECT_EQ(Packed(Info(4, -3, 8, 1, 3) + table + rle)->image, down);

    // Four bits: the high nibble first.
    const auto four = Packed(Info(4, 1, 4, 2, 3) + table + Bytes({4, 0x12, 0, 1}));
    ASSERT_TRUE(four);
    EXPECT_EQ(At(four->image, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(four->image, 1, 0), qRgb(0, 0, 255));
    EXPECT_FALSE(Packed(Info(4, 1, 8, 2, 3) + table + rle));  // RLE4 needs 4 bits
}

TEST(Dib, ShortPixelArraysOfEachForm)
{
    // Three rows declared, two stored: both forms keep the two bottom rows; the EMF form, which
    // is drawn whole, leaves the missing top row transparent.
    const QByteArray info = Info(1, 3, 32);
    const QByteArray bits = Bytes({1, 1, 1, 0, 2, 2, 2, 0});
    const auto packed = Packed(info + bits);
    ASSERT_TRUE(packed);
    EXPECT_EQ(packed->fullHeight, 3);
    EXPECT_EQ(packed->firstRow, 1);
    EXPECT_EQ(packed->image.height(), 2);
    EXPECT_EQ(At(packed->image, 0, 1), qRgb(1, 1, 1));
    const QImage split = Split(info, bits);
    ASSERT_EQ(split.height(), 3);
    EXPECT_EQ(split.pixel(0, 0), 0u);
    EXPECT_EQ(At(split, 0, 1), qRgb(2, 2, 2));
    EXPECT_EQ(At(split, 0, 2), qRgb(1, 1, 1));
    const QImage two = Split(info, bits, false, 2);
    ASSERT_EQ(two.height(), 2);
    EXPECT_EQ(At(two, 0, 0), qRgb(2, 2, 2));
    EXPECT_FALSE(Packed(info + bits.left(3)));
}

TEST(Dib, EmbeddedPngIsRead)
{
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(qRgb(9, 99, 199));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(source.save(&buffer, "PNG"));
    const auto packed = Packed(Info(3, 2, 0, 5) + png);
    ASSERT_TRUE(packed);
    EXPECT_EQ(At(packed->image, 2, 1), qRgb(9, 99, 199));
    EXPECT_EQ(At(Split(Info(3, 2, 0, 5), png), 2, 1), qRgb(9, 99, 199));
    EXPECT_FALSE(Packed(Info(3, 2, 0, 5) + png.left(10)));
}

TEST(Dib, HostileHeadersAreRefused)
{
    const QByteArray pixels(64, '\x7F');
    for (const QByteArray& info :
         {Info(1 << 20, 1 << 20, 24), Info(-4, 4, 24), Info(4, 0, 24), Info(4, 4, 7),
          Info(4, 4, 24, 9), Info(70000, 1, 1), Info(4, qint32(0x80000000u), 24)}) {
        EXPECT_FALSE(Packed(info + pixels));
        EXPECT_TRUE(Split(info, pixels).isNull());
    }
    QByteArray big = Info(4, 4, 8);
    big[0] = char(0xFF);  // a header larger than the bytes
    EXPECT_FALSE(Packed(big + pixels));
    EXPECT_TRUE(Split(big, pixels).isNull());
    EXPECT_FALSE(Packed(QByteArray(11, '\0')));
}

TEST(Dib, DamagedBitmapsNeverReadPastTheirBytes)
{
    // Every cut and scribble of valid bitmaps decodes or is refused; the copies put the end of
    // the bytes at the end of an allocation, where a sanitizer or the heap would notice.
    const QByteArray table = Bytes({0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0});
    const std::vector<QByteArray> seeds = {
        Info(4, 3, 8, 1, 3) + table + Bytes({9, 1, 0, 0, 0, 2, 1, 1, 0, 3, 2, 1, 2, 0, 0, 1}),
        Info(5, 2, 4, 2, 3) + table + Bytes({5, 0x12, 0, 0, 0, 5, 0x12, 0x10, 0x20, 0, 0, 1}),
        Info(3, 3, 24) + QByteArray(36, '\x40'),
        Info(3, -3, 1) + table.left(8) + QByteArray(12, '\x55'),
    };
    std::mt19937 random(11);
    for (const QByteArray& seed : seeds) {
        for (int round = 0; round < 400; ++round) {
            QByteArray bytes = seed;
            if (round % 2) bytes.truncate(int(random() % seed.size()));
            for (int k = 0; k < 3 && !bytes.isEmpty(); ++k)
                bytes[int(random() % bytes.size())] = char(random());
            QByteArray copy(bytes);
            copy.detach();
            Packed(copy, int(round % 3 == 0), {qRgb(1, 1, 1)});
            const qsizetype cut = std::min<qsizetype>(40, copy.size());
            Split(copy.left(cut), copy.mid(cut), round % 5 == 0, round % 4);
        }
    }
}

}  // namespace
}  // namespace orm::gdi
