#pragma once

// Hand-made Windows metafiles for the player tests: records are appended word by word, and the
// file is framed as a placeable or a plain metafile.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "format/wmfplayer.h"

namespace orm::test {

inline std::uint32_t Rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>(r | g << 8 | b << 16);
}

class WmfBuild {
public:
    // One record: the function and its parameters as 16-bit words.
    WmfBuild& Rec(std::uint16_t function, std::initializer_list<int> words)
    {
        return Raw(function, Words(words));
    }
    // One record with parameters given as bytes (padded to a word).
    WmfBuild& Raw(std::uint16_t function, QByteArray params)
    {
        if (params.size() % 2) params.append('\0');
        const std::uint32_t size = 3 + static_cast<std::uint32_t>(params.size() / 2);
        PutWord(m_records, size & 0xFFFF);
        PutWord(m_records, size >> 16);
        PutWord(m_records, function);
        m_records.append(params);
        return *this;
    }

    static QByteArray Words(std::initializer_list<int> words)
    {
        QByteArray out;
        for (int w : words) PutWord(out, static_cast<std::uint16_t>(w));
        return out;
    }
    static QByteArray DWord(std::uint32_t v) { return Words({int(v & 0xFFFF), int(v >> 16)}); }
    static void PutWord(QByteArray& out, std::uint16_t w)
    {
        out.append(static_cast<char>(w & 0xFF));
        out.append(static_cast<char>(w >> 8));
    }

    // -- common records
    WmfBuild& WindowOrg(int x, int y) { return Rec(0x020B, {y, x}); }
    WmfBuild& WindowExt(int x, int y) { return Rec(0x020C, {y, x}); }
    WmfBuild& MapMode(int mode) { return Rec(0x0103, {mode}); }
    WmfBuild& Pen(int style, int width, std::uint32_t color)
    {
        return Raw(0x02FA, Words({style, width, 0}) + DWord(color));
    }
    WmfBuild& Brush(int style, std::uint32_t color, int hatch = 0)
    {
        return Raw(0x02FC, Words({style}) + DWord(color) + Words({hatch}));
    }
    // A font: height, escapement, character set, pitch and family, face (bytes of the face).
    WmfBuild& Font(int height, const QByteArray& face, int charSet = 204, int escapement = 0,
                   int pitchAndFamily = 0, int width = 0)
    {
        QByteArray params = Words({height, width, escapement, escapement, 400});
        params.append(char(0)).append(char(0)).append(char(0)).append(char(charSet));
        params.append(char(0)).append(char(0)).append(char(0)).append(char(pitchAndFamily));
        params.append(face);
        params.append('\0');
        return Raw(0x02FB, params);
    }
    WmfBuild& Select(int index) { return Rec(0x012D, {index}); }
    WmfBuild& Delete(int index) { return Rec(0x01F0, {index}); }
    WmfBuild& Rectangle(int l, int t, int r, int b) { return Rec(0x041B, {b, r, t, l}); }
    WmfBuild& Ellipse(int l, int t, int r, int b) { return Rec(0x0418, {b, r, t, l}); }
    WmfBuild& MoveTo(int x, int y) { return Rec(0x0214, {y, x}); }
    WmfBuild& LineTo(int x, int y) { return Rec(0x0213, {y, x}); }
    WmfBuild& BkMode(int mode) { return Rec(0x0102, {mode}); }
    WmfBuild& BkColor(std::uint32_t c) { return Raw(0x0201, DWord(c)); }
    WmfBuild& TextColor(std::uint32_t c) { return Raw(0x0209, DWord(c)); }
    WmfBuild& TextAlign(int align) { return Rec(0x012E, {align}); }
    WmfBuild& TextOut(int x, int y, const QByteArray& text)
    {
        QByteArray params = Words({int(text.size())}) + text;
        if (params.size() % 2) params.append('\0');
        return Raw(0x0521, params + Words({y, x}));
    }
    // ExtTextOut; rect given as {l, t, r, b} when options has ETO_OPAQUE or ETO_CLIPPED.
    WmfBuild& ExtTextOut(int x, int y, int options, std::vector<int> rect, const QByteArray& text,
                         std::vector<int> dx = {})
    {
        QByteArray params = Words({y, x, int(text.size()), options});
        for (int v : rect) PutWord(params, static_cast<std::uint16_t>(v));
        params.append(text);
        if (params.size() % 2) params.append('\0');
        for (int v : dx) PutWord(params, static_cast<std::uint16_t>(v));
        return Raw(0x0A32, params);
    }

    // A bottom-up DIB with a BITMAPINFOHEADER; rows top first in rowsTopFirst, packed as given.
    static QByteArray Dib(int width, int height, int bits, const std::vector<std::uint32_t>& colors,
                          const std::vector<QByteArray>& rowsTopFirst, bool topDown = false)
    {
        QByteArray dib =
            DWord(40) + DWord(width) + DWord(std::uint32_t(topDown ? -height : height));
        dib += Words({1, bits}) + DWord(0) + DWord(0) + DWord(2835) + DWord(2835);
        dib += DWord(std::uint32_t(colors.size())) + DWord(0);
        for (std::uint32_t c : colors) {  // RGBQUAD: blue, green, red, 0
            dib.append(char((c >> 16) & 0xFF)).append(char((c >> 8) & 0xFF));
            dib.append(char(c & 0xFF)).append(char(0));
        }
        const int stride = (width * bits + 31) / 32 * 4;
        for (int i = 0; i < height; ++i) {
            const QByteArray& row = rowsTopFirst[topDown ? i : height - 1 - i];
            dib.append(row.left(stride));
            dib.append(QByteArray(stride - std::min<int>(stride, row.size()), '\0'));
        }
        return dib;
    }

    WmfBuild& StretchDib(int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                         const QByteArray& dib, std::uint32_t rop = 0x00CC0020)
    {
        return Raw(0x0F43, DWord(rop) + Words({0, sh, sw, sy, sx, h, w, y, x}) + dib);
    }

    // -- framing
    QByteArray Plain() const
    {
        QByteArray records = m_records;
        records += Words({3, 0, 0});  // end of file
        QByteArray header = Words({1, 9, 0x0300});
        header += DWord(std::uint32_t(9 + records.size() / 2));
        header += Words({m_objects});
        header += DWord(0x7FFF);
        header += Words({0});
        return header + records;
    }
    QByteArray Placeable(int left, int top, int right, int bottom, int inch) const
    {
        const std::vector<std::uint16_t> words = {0xCDD7,
                                                  0x9AC6,
                                                  0,
                                                  std::uint16_t(left),
                                                  std::uint16_t(top),
                                                  std::uint16_t(right),
                                                  std::uint16_t(bottom),
                                                  std::uint16_t(inch),
                                                  0,
                                                  0};
        QByteArray out;
        std::uint16_t checksum = 0;
        for (std::uint16_t w : words) {
            PutWord(out, w);
            checksum ^= w;
        }
        PutWord(out, checksum);
        return out + Plain();
    }

    int m_objects = 8;

private:
    QByteArray m_records;
};

// Plays bytes into a white image of the given size (the whole image is the target).
inline QImage Render(const QByteArray& bytes, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (auto picture = WmfPicture::Parse(bytes)) {
        QPainter painter(&image);
        picture->Play(painter, QRectF(0, 0, width, height));
    }
    return image;
}

inline QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

inline bool IsDark(const QColor& c) { return c.lightness() < 80; }
inline bool IsWhite(const QColor& c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; }

}  // namespace orm::test
