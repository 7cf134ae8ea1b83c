#pragma once

// Picture files written byte by byte for the loader's tests: bitmaps of every depth either way
// up, and icons.

#include <QByteArray>
#include <QColor>
#include <QtEndian>
#include <vector>

namespace orm::test {

inline void put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

inline void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// The colours of the test pattern and the pattern itself: pixel (x, y) has colour
// (x + 2y) mod n of the first n colours, n being 2 for 1-bit bitmaps (black and white).
inline const std::vector<QColor>& patternColors(int bits)
{
    static const std::vector<QColor> mono{Qt::black, Qt::white};
    static const std::vector<QColor> colors{QColor(200, 30, 40), QColor(20, 160, 60),
                                            QColor(30, 60, 220), QColor(250, 240, 10)};
    return bits == 1 ? mono : colors;
}

inline int patternIndex(int bits, int x, int y)
{
    return (x + 2 * y) % int(patternColors(bits).size());
}

// A BMP file of width × height pixels with the test pattern, bits per pixel 1, 4, 8, 24 or 32.
inline QByteArray bmpFile(int bits, int width, int height, bool topDown)
{
    const std::vector<QColor>& colors = patternColors(bits);
    const int paletteEntries = bits <= 8 ? (1 << bits) : 0;
    const int stride = ((width * bits + 31) / 32) * 4;
    QByteArray pixels;
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        QByteArray line(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const int index = patternIndex(bits, x, y);
            const QColor c = colors[std::size_t(index)];
            switch (bits) {
            case 1: line[x / 8] = char(line[x / 8] | (index << (7 - x % 8))); break;
            case 4: line[x / 2] = char(line[x / 2] | (index << (x % 2 ? 0 : 4))); break;
            case 8: line[x] = char(index); break;
            case 24:
            case 32: {
                const int at = x * (bits / 8);
                line[at] = char(c.blue());
                line[at + 1] = char(c.green());
                line[at + 2] = char(c.red());
                break;
            }
            }
        }
        pixels += line;
    }
    QByteArray info;
    put32(info, 40);
    put32(info, quint32(width));
    put32(info, quint32(topDown ? -height : height));
    put16(info, 1);
    put16(info, quint16(bits));
    put32(info, 0);  // BI_RGB
    put32(info, quint32(pixels.size()));
    put32(info, 3780);
    put32(info, 3780);
    put32(info, 0);
    put32(info, 0);
    for (int i = 0; i < paletteEntries; ++i) {
        const QColor c = i < int(colors.size()) ? colors[std::size_t(i)] : QColor(Qt::black);
        info += char(c.blue());
        info += char(c.green());
        info += char(c.red());
        info += '\0';
    }
    QByteArray file("BM");
    const int offset = 14 + int(info.size());
    put32(file, quint32(offset + pixels.size()));
    put32(file, 0);
    put32(file, quint32(offset));
    return file + info + pixels;
}

// An ICO file with one 32-bit image of size × size: opaque red, except a transparent
// top-left quarter.
inline QByteArray icoFile(int size)
{
    QByteArray image;
    put32(image, 40);
    put32(image, quint32(size));
    put32(image, quint32(size * 2));  // colour bits and mask
    put16(image, 1);
    put16(image, 32);
    for (int i = 0; i < 6; ++i)
        put32(image, 0);
    for (int row = size - 1; row >= 0; --row) {
        for (int x = 0; x < size; ++x) {
            const bool clear = x < size / 2 && row < size / 2;
            image += char(0);
            image += char(0);
            image += char(clear ? 0 : 255);
            image += char(clear ? 0 : 255);
        }
    }
    const int maskStride = ((size + 31) / 32) * 4;
    for (int row = size - 1; row >= 0; --row) {
        QByteArray line(maskStride, '\0');
        for (int x = 0; x < size; ++x) {
            if (x < size / 2 && row < size / 2)
                line[x / 8] = char(line[x / 8] | (0x80 >> (x % 8)));
        }
        image += line;
    }
    QByteArray file;
    put16(file, 0);
    put16(file, 1);
    put16(file, 1);
    file += char(size);
    file += char(size);
    file += char(0);
    file += char(0);
    put16(file, 1);
    put16(file, 32);
    put32(file, quint32(image.size()));
    put32(file, 22);
    return file + image;
}

// One image of an icon: size × size of one colour, 32 bits per pixel or with a palette of
// 2^bits entries whose entry 1 is the colour.
struct IconImage {
    int size;
    int bits;
    QColor color;
};

// An ICO file of several images, in the order given.
inline QByteArray icoFile(const std::vector<IconImage>& images)
{
    std::vector<QByteArray> data;
    for (const IconImage& i : images) {
        QByteArray image;
        put32(image, 40);
        put32(image, quint32(i.size));
        put32(image, quint32(i.size * 2));
        put16(image, 1);
        put16(image, quint16(i.bits));
        for (int k = 0; k < 6; ++k)
            put32(image, 0);
        if (i.bits <= 8) {
            for (int k = 0; k < (1 << i.bits); ++k) {
                const QColor c = k == 1 ? i.color : QColor(Qt::black);
                image += char(c.blue());
                image += char(c.green());
                image += char(c.red());
                image += '\0';
            }
        }
        const int stride = ((i.size * i.bits + 31) / 32) * 4;
        for (int row = 0; row < i.size; ++row) {
            QByteArray line(stride, '\0');
            for (int x = 0; x < i.size; ++x) {
                switch (i.bits) {
                case 1: line[x / 8] = char(line[x / 8] | (0x80 >> (x % 8))); break;
                case 4: line[x / 2] = char(line[x / 2] | (x % 2 ? 0x01 : 0x10)); break;
                case 8: line[x] = 1; break;
                default:
                    line[4 * x] = char(i.color.blue());
                    line[4 * x + 1] = char(i.color.green());
                    line[4 * x + 2] = char(i.color.red());
                    line[4 * x + 3] = char(255);
                }
            }
            image += line;
        }
        image += QByteArray(((i.size + 31) / 32) * 4 * i.size, '\0');  // mask: all shown
        data.push_back(image);
    }
    QByteArray file;
    put16(file, 0);
    put16(file, 1);
    put16(file, quint16(images.size()));
    quint32 offset = quint32(6 + 16 * images.size());
    for (std::size_t k = 0; k < images.size(); ++k) {
        file += char(images[k].size & 0xFF);
        file += char(images[k].size & 0xFF);
        file += char(images[k].bits <= 8 ? (1 << images[k].bits) & 0xFF : 0);
        file += char(0);
        put16(file, 1);
        put16(file, 0);  // as many files leave it: the image's own header tells
        put32(file, quint32(data[k].size()));
        put32(file, offset);
        offset += quint32(data[k].size());
    }
    for (const QByteArray& d : data)
        file += d;
    return file;
}

}  // namespace orm::test
