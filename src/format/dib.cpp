// Decoding of the device-independent bitmaps in metafile records.

#include "format/dib.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace orm::gdi {

namespace {

// Compression of the pixels.
constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiRle8 = 1;
constexpr quint32 kBiRle4 = 2;
constexpr quint32 kBiBitfields = 3;
constexpr quint32 kBiJpeg = 4;
constexpr quint32 kBiPng = 5;
constexpr quint32 kBiAlphaBitfields = 6;

// Caps of the two record forms: a WMF bitmap is drawn whole, an EMF one through QImage.
constexpr qint64 kMaxPackedPixels = qint64{1} << 24;
constexpr qint64 kMaxPixels = 50'000'000;
constexpr int kMaxSide = 32767;

quint16 U16(const uchar* p) { return qFromLittleEndian<quint16>(p); }
qint16 S16(const uchar* p) { return qFromLittleEndian<qint16>(p); }
quint32 U32(const uchar* p) { return qFromLittleEndian<quint32>(p); }
qint32 S32(const uchar* p) { return qFromLittleEndian<qint32>(p); }

struct Header {
    quint32 size = 0;
    qint64 width = 0;
    qint64 height = 0;  // negative: the top row first
    int bits = 0;
    quint32 compression = kBiRgb;
    quint32 colorsUsed = 0;
    bool core = false;  // the old core header, with three-byte colours
};

std::optional<Header> ReadHeader(const uchar* p, std::size_t n)
{
    if (n < 12) return std::nullopt;
    Header h;
    h.size = U32(p);
    if (h.size == 12) {
        h.core = true;
        h.width = U16(p + 4);
        h.height = S16(p + 6);
        h.bits = U16(p + 10);
    } else if (h.size >= 40 && h.size <= n) {
        h.width = S32(p + 4);
        h.height = S32(p + 8);
        h.bits = U16(p + 14);
        h.compression = U32(p + 16);
        h.colorsUsed = U32(p + 32);
    } else {
        return std::nullopt;
    }
    return h;
}

// Entry x of a row of 1, 4 or 8 bits per pixel.
int PixelIndex(const uchar* row, std::size_t x, int bits)
{
    const std::size_t bit = x * static_cast<std::size_t>(bits);
    return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
}

// A colour table of count entries of entryBytes each: blue, green, red (and a spare byte), or
// with two bytes an index into palette.
QVector<QRgb> ReadColorTable(const uchar* p, std::size_t count, std::size_t entryBytes,
                             const std::vector<QRgb>& palette)
{
    QVector<QRgb> colors;
    colors.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const uchar* e = p + i * entryBytes;
        if (entryBytes == 2) {
            const quint16 index = U16(e);
            colors.append(index < palette.size() ? palette[index] : qRgb(0, 0, 0));
        } else {
            colors.append(qRgb(e[2], e[1], e[0]));
        }
    }
    return colors;
}

// Walks run-length encoded pixels (8 or, with four, 4 bits), bottom row first, calling
// put(x, row, index) for each pixel inside width and height; never reads past n bytes.
template <typename Put>
void WalkRle(const uchar* p, std::size_t n, bool four, int width, int height, Put&& put)
{
    int x = 0;
    int row = 0;
    auto next = [&](int index) {
        if (x < width && row < height) put(x, row, index);
        ++x;
    };
    std::size_t i = 0;
    while (i + 2 <= n && row < height) {
        const int count = p[i];
        const int value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < width; ++k)
                next(four ? (k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++row;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            if (i + 2 > n) return;
            x += p[i];
            row += p[i + 1];
            i += 2;
        } else {  // absolute run of value pixels, padded to a word
            const std::size_t bytes =
                four ? (static_cast<std::size_t>(value) + 1) / 2 : static_cast<std::size_t>(value);
            if (n - i < bytes) return;
            for (int k = 0; k < value; ++k) {
                const int b = p[i + (four ? k / 2 : k)];
                next(four ? (k % 2 == 0 ? b >> 4 : b & 0x0F) : b);
            }
            i += std::min<std::size_t>((bytes + 1) & ~std::size_t{1}, n - i);
        }
    }
}

// An embedded JPEG or PNG file; its size is read before any pixel is.
QImage ReadEmbedded(const uchar* p, std::size_t n, qint64 maxPixels)
{
    QByteArray embedded(reinterpret_cast<const char*>(p), static_cast<qsizetype>(n));
    QBuffer buffer(&embedded);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || qint64{size.width()} * size.height() > maxPixels) return QImage();
    return reader.read();
}

// A channel scaled to 0..255 from the full range of its mask, however wide.
int MaskChannel(quint32 pixel, quint32 mask)
{
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const quint64 max = mask >> shift;
    return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
}

// Bit-field masks: red, green, blue and alpha (0: none).
struct Masks {
    quint32 m[4] = {0, 0, 0, 0};
};

Masks DefaultMasks(int bits)
{
    Masks masks;
    if (bits == 16) {
        masks.m[0] = 0x7C00;
        masks.m[1] = 0x03E0;
        masks.m[2] = 0x001F;
    } else {
        masks.m[0] = 0xFF0000;
        masks.m[1] = 0x00FF00;
        masks.m[2] = 0x0000FF;
    }
    return masks;
}

// The pixels of a bitmap of either record form: uncompressed, run-length encoded or with bit
// fields; colors is the colour table of a bitmap of up to 8 bits. alpha32: 32-bit pixels carry
// premultiplied alpha. A short pixel array keeps the rows it has (the top ones of a top-down
// bitmap, the bottom ones of a bottom-up one); pixels that run-length encoding leaves unpainted
// are transparent, as the device leaves them. Nothing when the pixels cannot be read.
std::optional<Dib> DecodePixels(const Header& h, const QVector<QRgb>& colors, const Masks& masks,
                                const uchar* pixels, std::size_t available, bool alpha32,
                                qint64 maxPixels)
{
    const bool topDown = h.height < 0;
    const qint64 width = h.width;
    const qint64 height = std::abs(h.height);
    const int bits = h.bits;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        width * height > maxPixels)
        return std::nullopt;
    auto color = [&colors](int index) { return index < colors.size() ? colors[index] : qRgb(0, 0, 0); };

    if (h.compression == kBiRle8 || h.compression == kBiRle4) {
        if ((h.compression == kBiRle8) != (bits == 8) || (h.compression == kBiRle4) != (bits == 4))
            return std::nullopt;
        QImage image(static_cast<int>(width), static_cast<int>(height),
                     QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return std::nullopt;
        image.fill(Qt::transparent);
        const int rows = image.height();
        WalkRle(pixels, available, bits == 4, image.width(), rows, [&](int x, int row, int i) {
            image.setPixel(x, topDown ? row : rows - 1 - row, color(i));
        });
        return Dib{image, image.height(), 0};
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;

    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    const std::size_t rows =
        std::min<std::size_t>(static_cast<std::size_t>(height), available / stride);
    if (rows == 0) return std::nullopt;
    QImage image(static_cast<int>(width), static_cast<int>(rows),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    for (std::size_t r = 0; r < rows; ++r) {
        const uchar* src = pixels + r * stride;
        const int y = topDown ? static_cast<int>(r) : static_cast<int>(rows - 1 - r);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (qint64 x = 0; x < width; ++x) {
            QRgb rgb = 0;
            switch (bits) {
                case 1:
                case 4:
                case 8:
                    rgb = color(PixelIndex(src, static_cast<std::size_t>(x), bits));
                    break;
                case 16:
                case 32: {
                    const quint32 px = bits == 16 ? U16(src + x * 2) : U32(src + x * 4);
                    const int red = MaskChannel(px, masks.m[0]);
                    const int green = MaskChannel(px, masks.m[1]);
                    const int blue = MaskChannel(px, masks.m[2]);
                    if (masks.m[3])  // straight alpha of its own field
                        rgb = qPremultiply(qRgba(red, green, blue, MaskChannel(px, masks.m[3])));
                    else if (alpha32 && bits == 32)  // premultiplied, as the record stores it
                        rgb = qRgba(red, green, blue, static_cast<int>(px >> 24));
                    else
                        rgb = qRgb(red, green, blue);
                    break;
                }
                case 24:
                    rgb = qRgb(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]);
                    break;
            }
            line[x] = rgb;
        }
    }
    return Dib{image, static_cast<int>(height), topDown ? 0 : static_cast<int>(height - rows)};
}

// The bit-field masks that follow a header of size bytes at p (n bytes in all), or that the
// header holds; nothing when they are cut off.
std::optional<Masks> ReadMasks(const Header& h, const uchar* p, std::size_t n)
{
    const bool alpha = h.compression == kBiAlphaBitfields;
    const std::size_t need = 40 + (alpha ? 16 : 12);
    if (n < need) return std::nullopt;
    Masks masks;
    for (int i = 0; i < (alpha ? 4 : 3); ++i) masks.m[i] = U32(p + 40 + 4 * i);
    return masks;
}

}  // namespace

std::optional<Dib> DecodePackedDib(const uchar* p, std::size_t n, int colorUsage,
                                   const std::vector<QRgb>& palette)
{
    const std::optional<Header> h = ReadHeader(p, n);
    if (!h) return std::nullopt;
    std::size_t colorsAt = h->size;
    const std::size_t entryBytes = colorUsage == 1 ? 2 : h->core ? 3 : 4;
    const bool fields = h->compression == kBiBitfields || h->compression == kBiAlphaBitfields;
    Masks masks = DefaultMasks(h->bits);
    if (fields) {
        const std::optional<Masks> read = ReadMasks(*h, p, n);
        if (!read) return std::nullopt;
        masks = *read;
        // A 40-byte header is followed by its masks; later headers hold them inside.
        colorsAt = std::max<std::size_t>(colorsAt,
                                         h->compression == kBiAlphaBitfields ? 56 : 52);
    }
    const qint64 width = h->width;
    const qint64 height = std::abs(h->height);
    if (width <= 0 || height <= 0 || width * height > kMaxPackedPixels) return std::nullopt;

    if (h->compression == kBiJpeg || h->compression == kBiPng) {
        if (colorsAt >= n) return std::nullopt;
        QImage image = ReadEmbedded(p + colorsAt, n - colorsAt, kMaxPackedPixels);
        if (image.isNull()) return std::nullopt;
        return Dib{image, image.height(), 0};
    }
    if (h->compression != kBiRgb && h->compression != kBiRle8 && h->compression != kBiRle4 &&
        !fields)
        return std::nullopt;

    std::size_t tableCount = 0;
    if (h->bits <= 8) {
        const std::size_t full = std::size_t{1} << std::clamp(h->bits, 0, 8);
        tableCount = h->colorsUsed && h->colorsUsed < full ? h->colorsUsed : full;
    } else if (h->colorsUsed <= 256) {
        tableCount = h->colorsUsed;  // an optional palette for display; skipped
    }
    if (colorsAt > n || tableCount * entryBytes > n - colorsAt) return std::nullopt;
    QVector<QRgb> colors;
    if (h->bits <= 8) colors = ReadColorTable(p + colorsAt, tableCount, entryBytes, palette);
    const std::size_t bitsAt = colorsAt + tableCount * entryBytes;
    return DecodePixels(*h, colors, masks, p + bitsAt, n - bitsAt, false, kMaxPackedPixels);
}

QImage DecodeDib(const uchar* info, quint32 infoBytes, const uchar* bits, quint32 bitsBytes,
                 bool alpha, std::optional<int> rows)
{
    if (infoBytes < 40) return {};
    std::optional<Header> h = ReadHeader(info, infoBytes);
    if (!h || h->core || h->height == std::numeric_limits<qint32>::min()) return {};
    if (rows && h->height != 0) {
        // Only the scan lines the record stores.
        const qint64 stored = std::min<qint64>(std::abs(h->height), std::max(0, *rows));
        h->height = h->height < 0 ? -stored : stored;
    }
    if (h->compression == kBiJpeg || h->compression == kBiPng)
        return ReadEmbedded(bits, bitsBytes, kMaxPixels);

    const bool fields = h->compression == kBiBitfields || h->compression == kBiAlphaBitfields;
    Masks masks = DefaultMasks(h->bits);
    if (fields) {
        const std::optional<Masks> read = ReadMasks(*h, info, infoBytes);
        if (!read) return {};
        masks = *read;
    } else if (h->compression != kBiRgb && h->compression != kBiRle8 &&
               h->compression != kBiRle4) {
        return {};
    }
    QVector<QRgb> table;
    if (h->bits >= 1 && h->bits <= 8) {
        const quint32 maxColors = 1u << h->bits;
        const quint32 count = h->colorsUsed ? std::min(h->colorsUsed, maxColors) : maxColors;
        // A table cut short by the header's bytes keeps the entries it has; the rest are black.
        const quint32 tableAt = fields ? std::max<quint32>(h->size, 52) : h->size;
        const quint32 fit = infoBytes > tableAt ? (infoBytes - tableAt) / 4 : 0;
        table = ReadColorTable(info + tableAt, std::min(count, fit), 4, {});
    }
    const std::optional<Dib> dib = DecodePixels(*h, table, masks, bits, bitsBytes, alpha, kMaxPixels);
    if (!dib) return {};
    if (dib->image.height() == dib->fullHeight) return dib->image;
    // Rows the record does not hold stay transparent, and the rest stay where they belong.
    QImage whole(dib->image.width(), dib->fullHeight, QImage::Format_ARGB32_Premultiplied);
    if (whole.isNull()) return {};
    whole.fill(Qt::transparent);
    for (int y = 0; y < dib->image.height(); ++y)
        std::memcpy(whole.scanLine(dib->firstRow + y), dib->image.constScanLine(y),
                    static_cast<std::size_t>(dib->image.bytesPerLine()));
    return whole;
}

}  // namespace orm::gdi
