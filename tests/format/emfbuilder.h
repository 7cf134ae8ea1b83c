#pragma once

// Writes enhanced metafiles record by record, for the player's tests. The reference device is a
// 96 dpi screen, so one logical unit is one pixel of the picture in the default mapping mode.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QtEndian>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace orm::test {

class EmfBuilder {
public:
    // A picture of width × height pixels at 96 dpi.
    EmfBuilder(int width, int height) : m_width(width), m_height(height) {}

    // One record: its type and its 32-bit parameters, then raw bytes (padded to 4).
    EmfBuilder& record(quint32 type, std::initializer_list<qint32> params,
                       const QByteArray& tail = {})
    {
        QByteArray body;
        for (qint32 p : params)
            put32(body, quint32(p));
        body += tail;
        while (body.size() % 4)
            body += '\0';
        QByteArray rec;
        put32(rec, type);
        put32(rec, quint32(8 + body.size()));
        m_records += rec + body;
        ++m_count;
        return *this;
    }

    static quint32 rgb(int r, int g, int b) { return quint32(r | (g << 8) | (b << 16)); }

    EmfBuilder& createPen(int index, int style, int width, quint32 color)
    {
        return record(38, {index, style, width, 0, qint32(color)});
    }
    EmfBuilder& createBrush(int index, int style, quint32 color, int hatch = 0)
    {
        return record(39, {index, style, qint32(color), hatch});
    }
    EmfBuilder& select(quint32 index) { return record(37, {qint32(index)}); }
    EmfBuilder& selectStock(int which) { return select(0x80000000u | quint32(which)); }
    EmfBuilder& deleteObject(int index) { return record(40, {index}); }
    EmfBuilder& rectangle(int l, int t, int r, int b) { return record(43, {l, t, r, b}); }
    EmfBuilder& ellipse(int l, int t, int r, int b) { return record(42, {l, t, r, b}); }
    EmfBuilder& moveTo(int x, int y) { return record(27, {x, y}); }
    EmfBuilder& lineTo(int x, int y) { return record(54, {x, y}); }
    EmfBuilder& mapMode(int mode) { return record(17, {mode}); }
    EmfBuilder& windowExt(int cx, int cy) { return record(9, {cx, cy}); }
    EmfBuilder& viewportExt(int cx, int cy) { return record(11, {cx, cy}); }
    EmfBuilder& viewportOrg(int x, int y) { return record(12, {x, y}); }
    EmfBuilder& intersectClip(int l, int t, int r, int b) { return record(30, {l, t, r, b}); }
    EmfBuilder& excludeClip(int l, int t, int r, int b) { return record(29, {l, t, r, b}); }
    EmfBuilder& saveDc() { return record(33, {}); }
    EmfBuilder& restoreDc(int which) { return record(34, {which}); }

    // Polyline, polygon, polybezier and their "to" forms, 32-bit (type 2..6) or 16-bit
    // (85..89) points.
    EmfBuilder& poly(quint32 type, const std::vector<QPoint>& points)
    {
        const bool small = type >= 85;
        QByteArray tail;
        for (const QPoint& p : points) {
            if (small) {
                put16(tail, quint16(p.x()));
                put16(tail, quint16(p.y()));
            } else {
                put32(tail, quint32(p.x()));
                put32(tail, quint32(p.y()));
            }
        }
        return record(type, {0, 0, 0, 0, qint32(points.size())}, tail);
    }

    // PolyPolygon (8) or PolyPolygon16 (91).
    EmfBuilder& polyPolygon(quint32 type, const std::vector<std::vector<QPoint>>& polys)
    {
        QByteArray counts, pts;
        int total = 0;
        for (const auto& poly : polys) {
            put32(counts, quint32(poly.size()));
            total += int(poly.size());
            for (const QPoint& p : poly) {
                if (type == 91) {
                    put16(pts, quint16(p.x()));
                    put16(pts, quint16(p.y()));
                } else {
                    put32(pts, quint32(p.x()));
                    put32(pts, quint32(p.y()));
                }
            }
        }
        return record(type, {0, 0, 0, 0, qint32(polys.size()), total}, counts + pts);
    }

    // ExtTextOutW at (x, y) with the given options; dx, when given, one advance per character.
    EmfBuilder& textOut(int x, int y, const QString& text, quint32 options = 0,
                        QRect rect = QRect(), const std::vector<int>& dx = {})
    {
        const int fixed = 8 + 16 + 12 + 40;  // record header, bounds, mode and scales, EmrText
        const int stringAt = fixed;
        const int stringBytes = ((int(text.size()) * 2 + 3) / 4) * 4;
        const int dxAt = dx.empty() ? 0 : stringAt + stringBytes;
        QByteArray tail;
        for (QChar c : text)
            put16(tail, c.unicode());
        while (tail.size() % 4)
            tail += '\0';
        for (int d : dx)
            put32(tail, quint32(d));
        const QRect r = rect.isNull() ? QRect() : rect;
        return record(84,
                      {0, 0, -1, -1, 1, 0, 0, x, y, qint32(text.size()), stringAt,
                       qint32(options), r.left(), r.top(), r.right() + 1, r.bottom() + 1, dxAt},
                      tail);
    }

    // ExtCreateFontIndirectW with a height (negative: character height) and a face.
    EmfBuilder& createFont(int index, int height, const QString& face, int weight = 400)
    {
        QByteArray tail;
        put32(tail, quint32(height));
        put32(tail, 0);  // width
        put32(tail, 0);  // escapement
        put32(tail, 0);  // orientation
        put32(tail, quint32(weight));
        tail += QByteArray("\0\0\0\xCC\0\0\0\0", 8);  // italic .. pitch; Cyrillic character set
        for (int i = 0; i < 32; ++i)
            put16(tail, i < face.size() ? face[i].unicode() : 0);
        return record(82, {index}, tail);
    }

    // A bottom-up 24-bit device-independent bitmap: header and bits.
    static QByteArray dib24(const QImage& image, QByteArray* bits)
    {
        QByteArray header;
        put32(header, 40);
        put32(header, quint32(image.width()));
        put32(header, quint32(image.height()));
        put16(header, 1);
        put16(header, 24);
        for (int i = 0; i < 6; ++i)
            put32(header, 0);
        bits->clear();
        const int stride = ((image.width() * 3 + 3) / 4) * 4;
        for (int y = image.height() - 1; y >= 0; --y) {
            QByteArray row;
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                row += char(qBlue(p));
                row += char(qGreen(p));
                row += char(qRed(p));
            }
            row.append(stride - row.size(), '\0');
            *bits += row;
        }
        return header;
    }

    // StretchDIBits of the whole image into the destination rectangle.
    EmfBuilder& stretchDib(const QRect& dest, const QImage& image, quint32 rop = 0x00CC0020)
    {
        QByteArray bits;
        const QByteArray bmi = dib24(image, &bits);
        const int bmiAt = 80;
        const int bitsAt = bmiAt + int(bmi.size());
        return record(81,
                      {0, 0, -1, -1, dest.x(), dest.y(), 0, 0, image.width(), image.height(),
                       bmiAt, qint32(bmi.size()), bitsAt, qint32(bits.size()), 0, qint32(rop),
                       dest.width(), dest.height()},
                      bmi + bits);
    }

    // The file: header, the records, end of file.
    QByteArray finish() const
    {
        QByteArray body = m_records;
        QByteArray eof;
        put32(eof, 14);
        put32(eof, 20);
        put32(eof, 0);
        put32(eof, 16);
        put32(eof, 20);
        body += eof;

        QByteArray header;
        put32(header, 1);
        put32(header, 88);
        for (int v : {0, 0, m_width - 1, m_height - 1})  // bounds, pixels
            put32(header, quint32(v));
        // Frame in 0.01 mm.
        for (int v : {0, 0, hundredths(m_width), hundredths(m_height)})
            put32(header, quint32(v));
        put32(header, 0x464D4520);
        put32(header, 0x10000);
        put32(header, quint32(88 + body.size()));
        put32(header, quint32(m_count + 2));
        put16(header, 64);  // handles
        put16(header, 0);
        put32(header, 0);
        put32(header, 0);
        put32(header, 0);
        put32(header, 1920);  // device: 1920 x 1440 pixels, 508 x 381 mm: 96 dpi
        put32(header, 1440);
        put32(header, 508);
        put32(header, 381);
        return header + body;
    }

    static void put32(QByteArray& out, quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    }
    static void put16(QByteArray& out, quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    }

private:
    static int hundredths(int pixels) { return int(pixels * 2540.0 / 96 + 0.5); }

    int m_width, m_height;
    QByteArray m_records;
    int m_count = 0;
};

}  // namespace orm::test
