// Decoding of the device-independent bitmaps in metafile records.

#include "format/dib.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cstdlib>
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

int MaskShift(quint32 mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A channel scaled to 0..255 from its full range under mask.
int MaskChannel(quint32 pixel, quint32 mask, int shift)
{
    const quint32 max = mask >> shift;
    if (!max) return 0;
    return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
}

// The EMF form of the same: channels are taken to eight bits at most.
QRgb MaskedRgb(quint32 v, const quint32 masks[3], bool alpha)
{
    int c[3];
    for (int i = 0; i < 3; ++i) {
        const quint32 m = masks[i];
        if (!m) {
            c[i] = 0;
            continue;
        }
        const int shift = std::countr_zero(m);
        const int width = std::min(std::popcount(m >> shift), 8);
        const quint32 value = ((v & m) >> shift) & ((1u << width) - 1);
        c[i] = width >= 8 ? int(value) : int(value * 255 / ((1u << width) - 1));
    }
    if (alpha) return qRgba(c[0], c[1], c[2], v >> 24);  // premultiplied, as the record stores it
    return qRgb(c[0], c[1], c[2]);
}

}  // namespace

std::optional<Dib> DecodePackedDib(const uchar* p, std::size_t n, int colorUsage,
                                   const std::vector<QRgb>& palette)
{
    const std::optional<Header> h = ReadHeader(p, n);
    if (!h) return std::nullopt;
    std::size_t colorsAt = h->size;
    const std::size_t entryBytes = colorUsage == 1 ? 2 : h->core ? 3 : 4;
    quint32 masks[3] = {0, 0, 0};
    bool haveMasks = false;
    if (h->compression == kBiBitfields || h->compression == kBiAlphaBitfields) {
        if (h->size < 52) {
            if (n < 52) return std::nullopt;
            colorsAt += 12;
        }
        masks[0] = U32(p + 40);
        masks[1] = U32(p + 44);
        masks[2] = U32(p + 48);
        haveMasks = true;
    }
    const bool topDown = h->height < 0;
    const qint64 width = h->width;
    const qint64 height = std::abs(h->height);
    const int bits = h->bits;
    if (width <= 0 || height <= 0 || width * height > kMaxPackedPixels) return std::nullopt;

    if (h->compression == kBiJpeg || h->compression == kBiPng) {
        if (colorsAt >= n) return std::nullopt;
        QImage image = ReadEmbedded(p + colorsAt, n - colorsAt, kMaxPackedPixels);
        if (image.isNull()) return std::nullopt;
        return Dib{image, image.height(), 0};
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;

    std::size_t tableCount = 0;
    if (bits <= 8) {
        const std::size_t full = std::size_t{1} << bits;
        tableCount = h->colorsUsed && h->colorsUsed < full ? h->colorsUsed : full;
    } else if (h->colorsUsed <= 256) {
        tableCount = h->colorsUsed;  // an optional palette for display; skipped
    }
    if (colorsAt > n || tableCount * entryBytes > n - colorsAt) return std::nullopt;
    QVector<QRgb> colors;
    if (bits <= 8) colors = ReadColorTable(p + colorsAt, tableCount, entryBytes, palette);
    const std::size_t bitsAt = colorsAt + tableCount * entryBytes;
    const uchar* pixels = p + bitsAt;
    const std::size_t available = n - bitsAt;

    if (h->compression == kBiRle8 || h->compression == kBiRle4) {
        if ((h->compression == kBiRle8) != (bits == 8) ||
            (h->compression == kBiRle4) != (bits == 4))
            return std::nullopt;
        QImage image(static_cast<int>(width), static_cast<int>(height),
                     QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return std::nullopt;
        image.fill(Qt::transparent);
        const int rows = image.height();
        WalkRle(pixels, available, bits == 4, image.width(), rows, [&](int x, int row, int i) {
            image.setPixel(x, topDown ? row : rows - 1 - row,
                           i < colors.size() ? colors[i] : qRgb(0, 0, 0));
        });
        return Dib{image, image.height(), 0};
    }
    if (h->compression != kBiRgb && !haveMasks) return std::nullopt;

    if (!haveMasks) {
        if (bits == 16) {
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
        } else {
            masks[0] = 0xFF0000;
            masks[1] = 0x00FF00;
            masks[2] = 0x0000FF;
        }
    }
    const int shifts[3] = {MaskShift(masks[0]), MaskShift(masks[1]), MaskShift(masks[2])};
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    // A short pixel array keeps the rows it has: the top ones of a top-down bitmap, the bottom
    // ones of a bottom-up one.
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
                case 8: {
                    const int index = PixelIndex(src, static_cast<std::size_t>(x), bits);
                    rgb = index < colors.size() ? colors[index] : qRgb(0, 0, 0);
                    break;
                }
                case 16:
                case 32: {
                    const quint32 px = bits == 16 ? U16(src + x * 2) : U32(src + x * 4);
                    rgb = qRgb(MaskChannel(px, masks[0], shifts[0]),
                               MaskChannel(px, masks[1], shifts[1]),
                               MaskChannel(px, masks[2], shifts[2]));
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

QImage DecodeDib(const uchar* info, quint32 infoBytes, const uchar* bits, quint32 bitsBytes,
                 bool alpha, std::optional<int> rows)
{
    if (infoBytes < 40) return {};
    const std::optional<Header> h = ReadHeader(info, infoBytes);
    if (!h || h->core) return {};
    const qint64 width = h->width;
    if (width <= 0 || width > kMaxSide || h->height == 0 ||
        h->height == std::numeric_limits<qint32>::min())
        return {};
    const bool topDown = h->height < 0;
    int height = static_cast<int>(std::abs(h->height));
    if (rows) height = std::min(height, *rows);
    if (height <= 0 || height > kMaxSide || width * height > kMaxPixels) return {};
    const int depth = h->bits;

    if (h->compression == kBiJpeg || h->compression == kBiPng)
        return ReadEmbedded(bits, bitsBytes, kMaxPixels);

    QVector<QRgb> table;
    if (depth <= 8) {
        const quint32 maxColors = 1u << depth;
        const quint32 count = h->colorsUsed ? std::min(h->colorsUsed, maxColors) : maxColors;
        // A table cut short by the header's bytes keeps the entries it has; the rest are black.
        const quint32 fit = (infoBytes - h->size) / 4;
        table = ReadColorTable(info + h->size, std::min(count, fit), 4, {});
        while (table.size() < int(maxColors)) table.append(qRgb(0, 0, 0));
    }

    if (h->compression == kBiRle8 || h->compression == kBiRle4) {
        const bool four = h->compression == kBiRle4;
        if (depth != (four ? 4 : 8) || topDown)  // run-length bitmaps are always bottom-up
            return {};
        QImage image(static_cast<int>(width), height, QImage::Format_Indexed8);
        if (image.isNull()) return {};
        image.setColorTable(table);
        image.fill(0);
        WalkRle(bits, bitsBytes, four, image.width(), height, [&](int x, int row, int index) {
            image.scanLine(height - 1 - row)[x] = uchar(index);
        });
        return image;
    }

    quint32 masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (depth == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    if (h->compression == kBiBitfields) {
        if (depth != 16 && depth != 32) return {};
        // The masks follow a 40-byte header; later headers hold them inside.
        if (infoBytes < 52) return {};
        for (int i = 0; i < 3; ++i) masks[i] = U32(info + 40 + 4 * i);
    } else if (h->compression != kBiRgb) {
        return {};
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return {};

    const qint64 stride = ((width * depth + 31) / 32) * 4;
    if (stride * height > qint64(bitsBytes)) return {};

    QImage image;
    if (depth <= 8) {
        image = QImage(static_cast<int>(width), height, QImage::Format_Indexed8);
        if (image.isNull()) return {};
        image.setColorTable(table);
    } else {
        image = QImage(static_cast<int>(width), height,
                       alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (image.isNull()) return {};
    }
    for (int y = 0; y < height; ++y) {
        const uchar* row = bits + stride * (topDown ? y : height - 1 - y);
        uchar* out = image.scanLine(y);
        auto* out32 = reinterpret_cast<QRgb*>(out);
        for (int x = 0; x < width; ++x) {
            switch (depth) {
                case 1:
                case 4:
                case 8:
                    out[x] = uchar(PixelIndex(row, std::size_t(x), depth));
                    break;
                case 16:
                    out32[x] = MaskedRgb(U16(row + 2 * x), masks, false);
                    break;
                case 24:
                    out32[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                    break;
                case 32:
                    out32[x] = MaskedRgb(U32(row + 4 * x), masks, alpha);
                    break;
            }
        }
    }
    return image;
}

}  // namespace orm::gdi
