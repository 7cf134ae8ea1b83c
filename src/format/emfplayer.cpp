#include "format/emfplayer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "format/dib.h"
#include "format/gdifont.h"
#include "format/gdistate.h"

namespace orm {

using namespace gdi;

namespace {

// Record types.
enum : quint32 {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETROP2 = 20,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_OFFSETCLIPRGN = 26,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_SETARCDIRECTION = 57,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_WIDENPATH = 66,
    EMR_SELECTCLIPPATH = 67,
    EMR_ABORTPATH = 68,
    EMR_FILLRGN = 71,
    EMR_PAINTRGN = 74,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
    EMR_ALPHABLEND = 114,
};

constexpr quint32 kEmfSignature = 0x464D4520;  // " EMF"
constexpr qsizetype kHeaderSize = 88;
constexpr quint32 kMaxHandles = 65536;
constexpr int kMaxRegionRects = 4096;
constexpr int kMaxFontPixels = 2048;
// QPen refuses widths from 32768 on.
constexpr double kMaxPenWidth = 32767;
// Geometry reaching further than this many pixels beyond the target only comes from damaged
// records, and rasterising it would take long: such a record is skipped.
constexpr double kReach = 1 << 20;
// A dashed line that would need more dashes than this is drawn solid, for the same reason.
constexpr double kMaxDashes = 100000;
// A path bracket holding more elements than this is dropped.
constexpr int kMaxPathElements = 1 << 20;
// Device coordinates beyond this are clamped before they become integers.
constexpr double kCoordLimit = 1 << 26;

// Bounds-checked little-endian access to one record.
class Record {
public:
    Record(const uchar* data, quint32 size, quint32 type) : m_data(data), m_size(size), m_type(type)
    {
    }
    quint32 type() const { return m_type; }
    quint32 size() const { return m_size; }
    bool has(quint64 offset, quint64 bytes) const
    {
        return offset <= m_size && bytes <= m_size - offset;
    }
    // The readers return 0 outside the record; callers check has() for whole structures first.
    quint32 u32(quint64 offset) const
    {
        return has(offset, 4) ? qFromLittleEndian<quint32>(m_data + offset) : 0;
    }
    qint32 i32(quint64 offset) const { return static_cast<qint32>(u32(offset)); }
    qint16 i16(quint64 offset) const
    {
        return has(offset, 2) ? qFromLittleEndian<qint16>(m_data + offset) : 0;
    }
    quint16 u16(quint64 offset) const { return static_cast<quint16>(i16(offset)); }
    quint8 u8(quint64 offset) const { return has(offset, 1) ? m_data[offset] : 0; }
    float f32(quint64 offset) const
    {
        const quint32 bits = u32(offset);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return std::isfinite(value) ? value : 0.0f;
    }
    const uchar* bytes(quint64 offset) const { return m_data + offset; }

private:
    const uchar* m_data;
    quint32 m_size;
    quint32 m_type;
};

double clampCoord(double v) { return ClampCoord(v, kCoordLimit); }

struct GdiObject {
    enum Kind { None, Pen, Brush, Font } kind = None;
    QPen pen;
    QBrush brush;
    LogFont font;
};

// The device context with what only EMF has: pens and brushes are made when created, and the
// world transform, arc direction and stretching mode. The clip is in the painter's device
// pixels.
struct EmfDc : DcState {
    QPen pen = QPen(Qt::black, 0);
    QBrush brush = QBrush(Qt::white);
    LogFont font;
    QTransform world;
    bool clockwise = false;
    bool smoothStretch = false;
};

class Player {
public:
    // deviceToTarget maps the picture's device units to the painter's device; target is the
    // rectangle the picture fills there.
    Player(QPainter& painter, const QTransform& deviceToTarget, const QRectF& target,
           QSizeF pixelsPerMm)
        : m_p(painter),
          m_base(deviceToTarget),
          m_pixelsPerMm(pixelsPerMm),
          m_reach(target.adjusted(-kReach, -kReach, kReach, kReach)),
          m_clipBounds(target.toAlignedRect().adjusted(-1, -1, 1, 1))
    {
        m_rasterOps = m_p.paintEngine() &&
                      m_p.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    }

    void play(const QByteArray& bytes)
    {
        const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
        const quint64 total = quint64(bytes.size());
        quint64 pos = 0;
        while (pos + 8 <= total) {
            const quint32 type = qFromLittleEndian<quint32>(data + pos);
            const quint32 size = qFromLittleEndian<quint32>(data + pos + 4);
            if (size < 8 || size > total - pos)
                break;
            if (type == EMR_EOF)
                break;
            dispatch(Record(data + pos, size, type));
            pos += size;
        }
    }

private:
    // ---------------------------------------------------------------- coordinates

    QTransform pageTransform() const
    {
        const EmfDc& s = m_s;
        double sx = 1, sy = 1;
        auto fixed = [&](double mmPerUnit, bool yUp) {
            sx = mmPerUnit * m_pixelsPerMm.width();
            sy = mmPerUnit * m_pixelsPerMm.height() * (yUp ? -1 : 1);
        };
        switch (s.mapMode) {
        case 2: fixed(0.1, true); break;             // MM_LOMETRIC
        case 3: fixed(0.01, true); break;            // MM_HIMETRIC
        case 4: fixed(0.254, true); break;           // MM_LOENGLISH
        case 5: fixed(0.0254, true); break;          // MM_HIENGLISH
        case 6: fixed(25.4 / 1440, true); break;     // MM_TWIPS
        case 7:                                      // MM_ISOTROPIC
        case 8:                                      // MM_ANISOTROPIC
        {
            const QPointF scale = ExtentScale(s.mapMode, s.windowExt, s.viewportExt);
            sx = scale.x();
            sy = scale.y();
            break;
        }
        default: break;                              // MM_TEXT
        }
        return QTransform(sx, 0, 0, sy, s.viewportOrg.x() - s.windowOrg.x() * sx,
                          s.viewportOrg.y() - s.windowOrg.y() * sy);
    }

    // Logical units to device units of the picture.
    QTransform logicalToDevice() const { return m_s.world * pageTransform(); }

    // How many device units one logical unit is, on average.
    double logicalScale() const
    {
        const QTransform t = logicalToDevice();
        const double det = std::abs(t.determinant());
        return std::isfinite(det) ? std::sqrt(det) : 1.0;
    }

    // How far a unit step along x and along y goes through t: the shorter and the longer.
    static std::pair<double, double> axisScales(const QTransform& t)
    {
        const double x = std::hypot(t.m11(), t.m12()), y = std::hypot(t.m21(), t.m22());
        return {std::min(x, y), std::max(x, y)};
    }

    // Whether box, in the units transform maps to the picture's device units, stays within
    // reach of the target.
    bool inReach(const QRectF& box, const QTransform& transform) const
    {
        const QRectF mapped = (transform * m_base).mapRect(box);
        // Written out: QRectF::contains() refuses the empty box of a straight line. The
        // comparisons are false for NaN.
        return mapped.left() >= m_reach.left() && mapped.right() <= m_reach.right() &&
               mapped.top() >= m_reach.top() && mapped.bottom() <= m_reach.bottom();
    }

    QPointF point(const Record& r, quint64 offset, bool small) const
    {
        return small ? QPointF(r.i16(offset), r.i16(offset + 2))
                     : QPointF(r.i32(offset), r.i32(offset + 4));
    }

    QRectF rectL(const Record& r, quint64 offset) const
    {
        return QRectF(QPointF(r.i32(offset), r.i32(offset + 4)),
                      QPointF(r.i32(offset + 8), r.i32(offset + 12)));
    }

    // ---------------------------------------------------------------- painter state

    void applyClip()
    {
        if (!m_clipDirty)
            return;
        m_clipDirty = false;
        // Back to the caller's own clip, then narrow it to the picture's.
        m_p.restore();
        m_p.save();
        if (m_s.clip) {
            m_p.setTransform(QTransform());
            m_p.setClipRegion(*m_s.clip, Qt::IntersectClip);
        }
    }

    void prepare(const QTransform& transform, const QPen& pen, const QBrush& brush)
    {
        applyClip();
        const QTransform toDevice = transform * m_base;
        m_p.setTransform(toDevice);
        // A pen far wider than the target covers it no differently from one as wide as the
        // target, and stroking with it takes long: such widths come from damaged records.
        QPen narrowed = pen;
        if (pen.style() != Qt::NoPen && !pen.isCosmetic()) {
            const double scale = axisScales(toDevice).second;
            const double widest = 2.0 * (m_clipBounds.width() + m_clipBounds.height());
            if (scale > 0 && std::isfinite(scale) && pen.widthF() * scale > widest)
                narrowed.setWidthF(std::min(widest / scale, kMaxPenWidth));
        }
        m_p.setPen(narrowed);
        m_p.setBrush(brush);
        m_p.setBackground(ColorRefColor(m_s.bkColor));
        m_p.setBackgroundMode(m_s.bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
        m_p.setRenderHint(QPainter::Antialiasing, true);
        m_p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_p.setOpacity(1.0);
    }

    // The pen in device units, for paths that are kept in device units.
    QPen devicePen() const
    {
        QPen pen = m_s.pen;
        if (pen.style() != Qt::NoPen && !pen.isCosmetic()) {
            const double width = pen.widthF() * logicalScale();
            pen.setWidthF(std::isfinite(width) ? std::clamp(width, 0.0, kMaxPenWidth) : 0.0);
        }
        return pen;
    }

    // ---------------------------------------------------------------- shapes and paths

    // Draws or, inside a path bracket, records a shape given in logical units.
    void shape(QPainterPath path, bool fill)
    {
        if (!inReach(path.controlPointRect(), logicalToDevice()))
            return;
        if (m_inPath) {
            m_path.addPath(logicalToDevice().map(path));
            m_figureOpen = false;
            return;
        }
        path.setFillRule(m_s.fillRule);
        const Rop2 rop = Rop2Mode(m_s.rop2);
        prepare(logicalToDevice(), Rop2Pen(dashGuard(m_s.pen, path, logicalToDevice()), rop),
                fill ? Rop2Brush(m_s.brush, rop) : QBrush(Qt::NoBrush));
        ApplyRop2(m_p, rop, m_rasterOps);
        m_p.drawPath(path);
    }

    // The pen, drawn solid when its dashes along path would be absurdly many.
    QPen dashGuard(const QPen& pen, const QPainterPath& path, const QTransform& transform) const
    {
        if (pen.style() == Qt::NoPen || pen.style() == Qt::SolidLine)
            return pen;
        // Counted generously: the path at its most stretched, the dashes at their shortest.
        const auto [least, most] = axisScales(transform * m_base);
        double pattern = 0;
        for (qreal d : pen.dashPattern())
            pattern += d;
        const double width = pen.isCosmetic() ? 1.0 : std::max(1.0, pen.widthF() * least);
        const double dashes = path.length() * most / std::max(pattern * width, 1e-9);
        // The rasteriser's work grows with each dash's width as well as with their number.
        if (std::isfinite(dashes) && dashes * width <= kMaxDashes)
            return pen;
        QPen solid = pen;
        solid.setStyle(Qt::SolidLine);
        return solid;
    }

    // Whether the path of the bracket can be used: within reach and of a sane size.
    bool pathUsable() const
    {
        return !m_path.isEmpty() && m_path.elementCount() <= kMaxPathElements &&
               inReach(m_path.controlPointRect(), QTransform());
    }

    void pathMoveTo(const QPointF& p)
    {
        m_path.moveTo(logicalToDevice().map(p));
        m_figureOpen = true;
    }

    void pathEnsureFigure()
    {
        if (!m_figureOpen)
            pathMoveTo(m_s.current);
    }

    void drawLineFromCurrent(const QPointF& to)
    {
        if (m_inPath) {
            pathEnsureFigure();
            m_path.lineTo(logicalToDevice().map(to));
        } else {
            QPainterPath path(m_s.current);
            path.lineTo(to);
            shape(path, false);
        }
        m_s.current = to;
    }

    std::vector<QPointF> points(const Record& r, quint64 countAt, quint64 firstAt, bool small)
    {
        const quint32 count = r.u32(countAt);
        const quint64 each = small ? 4 : 8;
        std::vector<QPointF> out;
        if (!r.has(firstAt, quint64(count) * each))
            return out;
        out.reserve(count);
        for (quint32 i = 0; i < count; ++i)
            out.push_back(point(r, firstAt + i * each, small));
        return out;
    }

    static QPainterPath polyPath(const std::vector<QPointF>& pts, bool closed)
    {
        QPainterPath path;
        if (pts.empty())
            return path;
        path.moveTo(pts[0]);
        for (std::size_t i = 1; i < pts.size(); ++i)
            path.lineTo(pts[i]);
        if (closed)
            path.closeSubpath();
        return path;
    }

    static QPainterPath bezierPath(const std::vector<QPointF>& pts)
    {
        QPainterPath path;
        if (pts.empty())
            return path;
        path.moveTo(pts[0]);
        for (std::size_t i = 1; i + 2 < pts.size(); i += 3)
            path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
        return path;
    }

    void polyRecord(const Record& r, bool small)
    {
        const std::vector<QPointF> pts = points(r, 24, 28, small);
        if (pts.empty())
            return;
        switch (r.type()) {
        case EMR_POLYLINE:
        case EMR_POLYLINE16:
            shape(polyPath(pts, false), false);
            break;
        case EMR_POLYGON:
        case EMR_POLYGON16:
            shape(polyPath(pts, true), true);
            break;
        case EMR_POLYBEZIER:
        case EMR_POLYBEZIER16:
            shape(bezierPath(pts), false);
            break;
        case EMR_POLYLINETO:
        case EMR_POLYLINETO16:
            for (const QPointF& p : pts)
                drawLineFromCurrent(p);
            break;
        case EMR_POLYBEZIERTO:
        case EMR_POLYBEZIERTO16: {
            std::vector<QPointF> all{m_s.current};
            all.insert(all.end(), pts.begin(), pts.end());
            const std::size_t used = 1 + (pts.size() / 3) * 3;
            all.resize(used);
            if (m_inPath) {
                pathEnsureFigure();
                const QTransform t = logicalToDevice();
                for (std::size_t i = 1; i + 2 < all.size(); i += 3)
                    m_path.cubicTo(t.map(all[i]), t.map(all[i + 1]), t.map(all[i + 2]));
            } else {
                shape(bezierPath(all), false);
            }
            m_s.current = all.back();
            break;
        }
        }
    }

    void polyPolyRecord(const Record& r, bool small, bool closed)
    {
        const quint32 polys = r.u32(24);
        const quint32 total = r.u32(28);
        const quint64 countsAt = 32;
        const quint64 pointsAt = countsAt + 4ull * polys;
        const quint64 each = small ? 4 : 8;
        if (!r.has(countsAt, 4ull * polys) || !r.has(pointsAt, quint64(total) * each))
            return;
        QPainterPath path;
        quint64 used = 0;
        for (quint32 k = 0; k < polys; ++k) {
            const quint32 n = r.u32(countsAt + 4ull * k);
            if (n > total - used)
                return;
            std::vector<QPointF> pts;
            pts.reserve(n);
            for (quint32 i = 0; i < n; ++i)
                pts.push_back(point(r, pointsAt + (used + i) * each, small));
            used += n;
            path.addPath(polyPath(pts, closed));
        }
        shape(path, closed);
    }

    void arcRecord(const Record& r)
    {
        if (!r.has(8, 32))
            return;
        const QRectF box = rectL(r, 8).normalized();
        const double start = EllipseAngle(box, point(r, 24, false));
        const double end = EllipseAngle(box, point(r, 32, false));
        // Counter-clockwise as the viewer sees it, unless the direction was set otherwise; a
        // mapping that mirrors y mirrors the logical direction.
        bool clockwise = m_s.clockwise;
        if (logicalToDevice().determinant() < 0)
            clockwise = !clockwise;
        double sweep = clockwise ? start - end : end - start;
        while (sweep <= 0)
            sweep += 360;
        while (sweep > 360)
            sweep -= 360;
        if (clockwise)
            sweep = -sweep;

        QPainterPath path;
        const quint32 type = r.type();
        if (type == EMR_PIE) {
            path.moveTo(box.center());
            path.arcTo(box, start, sweep);
            path.closeSubpath();
        } else {
            path.arcMoveTo(box, start);
            path.arcTo(box, start, sweep);
            if (type == EMR_CHORD)
                path.closeSubpath();
        }
        if (type == EMR_ARCTO) {
            continueWith(path);
            return;
        }
        shape(path, type != EMR_ARC);
    }

    void angleArcRecord(const Record& r)
    {
        if (!r.has(8, 20))
            return;
        const QPointF c = point(r, 8, false);
        const double radius = r.u32(16);
        const double start = r.f32(20), sweep = r.f32(24);
        const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
        QPainterPath path;
        path.arcMoveTo(box, start);
        path.arcTo(box, start, std::clamp(sweep, -3600.0, 3600.0));
        continueWith(path);
    }

    // An arc drawn on from the current position (joined to it by a line), into the open path
    // or straight onto the page; the arc's end becomes the current position.
    void continueWith(const QPainterPath& path)
    {
        if (m_inPath) {
            pathEnsureFigure();
            m_path.connectPath(logicalToDevice().map(path));
        } else {
            QPainterPath withLine(m_s.current);
            withLine.connectPath(path);
            shape(withLine, false);
        }
        m_s.current = path.currentPosition();
    }

    void finishPath(bool stroke, bool fill)
    {
        const bool usable = pathUsable();
        QPainterPath path = m_path;
        path.setFillRule(m_s.fillRule);
        m_path = QPainterPath();
        m_inPath = false;
        m_figureOpen = false;
        if (!usable)
            return;
        const Rop2 rop = Rop2Mode(m_s.rop2);
        prepare(QTransform(),
                stroke ? Rop2Pen(dashGuard(devicePen(), path, QTransform()), rop) : QPen(Qt::NoPen),
                fill ? Rop2Brush(m_s.brush, rop) : QBrush(Qt::NoBrush));
        ApplyRop2(m_p, rop, m_rasterOps);
        m_p.drawPath(path);
    }

    // ---------------------------------------------------------------- clipping

    // The clip region is kept in the painter's device pixels and cut to the target, so it never
    // has more rows or columns than the target, whatever the record says.

    void combineClip(const QRegion& region, quint32 mode)
    {
        const QRegion current = m_s.clip ? *m_s.clip : QRegion(m_clipBounds);
        switch (mode) {
        case 1: m_s.clip = current.intersected(region); break;  // RGN_AND
        case 2: m_s.clip = current.united(region); break;        // RGN_OR
        case 3: m_s.clip = current.xored(region); break;         // RGN_XOR
        case 4: m_s.clip = current.subtracted(region); break;    // RGN_DIFF
        case 5: m_s.clip = region; break;                        // RGN_COPY
        default: return;
        }
        m_clipDirty = true;
    }

    // A polygon in device pixels as a region, cut to the target first. Cutting a polygon with a
    // convex window keeps the fill of every point inside the window, for either fill rule.
    QRegion polygonRegion(const QPolygonF& polygon, Qt::FillRule rule) const
    {
        QPolygonF poly = polygon;
        const QRectF b(m_clipBounds);
        auto cut = [&poly](auto inside, auto cross) {
            QPolygonF out;
            for (int i = 0; i < poly.size(); ++i) {
                const QPointF a = poly[i], c = poly[(i + 1) % poly.size()];
                if (inside(a))
                    out << a;
                if (inside(a) != inside(c))
                    out << cross(a, c);
            }
            poly = out;
        };
        auto atX = [](QPointF a, QPointF c, double x) {
            return QPointF(x, a.y() + (c.y() - a.y()) * (x - a.x()) / (c.x() - a.x()));
        };
        auto atY = [](QPointF a, QPointF c, double y) {
            return QPointF(a.x() + (c.x() - a.x()) * (y - a.y()) / (c.y() - a.y()), y);
        };
        cut([&](QPointF p) { return p.x() >= b.left(); },
            [&](QPointF a, QPointF c) { return atX(a, c, b.left()); });
        cut([&](QPointF p) { return p.x() <= b.right(); },
            [&](QPointF a, QPointF c) { return atX(a, c, b.right()); });
        cut([&](QPointF p) { return p.y() >= b.top(); },
            [&](QPointF a, QPointF c) { return atY(a, c, b.top()); });
        cut([&](QPointF p) { return p.y() <= b.bottom(); },
            [&](QPointF a, QPointF c) { return atY(a, c, b.bottom()); });
        if (poly.size() < 3)
            return QRegion();
        QPolygon ints;
        for (const QPointF& p : poly)
            ints << QPoint(int(std::lround(clampCoord(p.x()))),
                           int(std::lround(clampCoord(p.y()))));
        return QRegion(ints, rule);
    }

    // A rectangle given in the units transform maps to the picture's device units.
    QRegion rectRegion(const QRectF& rect, const QTransform& transform) const
    {
        const QTransform t = transform * m_base;
        if (!t.isRotating()) {
            const QRect device = RegionRect(t.mapRect(rect.normalized()), kCoordLimit);
            return QRegion(device.intersected(m_clipBounds));
        }
        return polygonRegion(t.map(QPolygonF(rect.normalized())), Qt::OddEvenFill);
    }

    // The rectangles of a region stored in a record (its header, then the rectangles).
    std::vector<QRectF> regionRects(const Record& r, quint64 at, quint32 bytes) const
    {
        std::vector<QRectF> rects;
        if (bytes < 32 || !r.has(at, bytes))
            return rects;
        const quint32 count = r.u32(at + 8);
        const quint64 available = (bytes - 32) / 16;
        const quint32 n = quint32(std::min<quint64>({count, available, quint64(kMaxRegionRects)}));
        for (quint32 i = 0; i < n; ++i)
            rects.push_back(rectL(r, at + 32 + 16ull * i).normalized());
        return rects;
    }

    // A region stored in the picture's device units, as a clip region.
    QRegion deviceRegion(const std::vector<QRectF>& rects) const
    {
        std::vector<QRegion> parts;
        parts.reserve(rects.size());
        for (const QRectF& rect : rects)
            parts.push_back(rectRegion(rect, QTransform()));
        return UniteRegions(std::move(parts));
    }

    // ---------------------------------------------------------------- objects

    void createPen(const Record& r)
    {
        if (!r.has(8, 20))
            return;
        const quint32 index = r.u32(8);
        const quint32 style = r.u32(12);
        const qint32 width = r.i32(16);
        GdiObject obj;
        obj.kind = GdiObject::Pen;
        const auto magnitude = quint32(std::min<qint64>(std::abs(qint64(width)), 0x7FFFFFFF));
        obj.pen = makePen(style, magnitude, ColorRefColor(r.u32(24)), {});
        store(index, obj);
    }

    void extCreatePen(const Record& r)
    {
        if (!r.has(8, 44))
            return;
        const quint32 index = r.u32(8);
        const quint32 style = r.u32(28);
        const quint32 width = r.u32(32);
        const quint32 brushStyle = r.u32(36);
        const QColor color = ColorRefColor(r.u32(40));
        const quint32 entries = r.u32(48);
        std::vector<quint32> dashes;
        if (entries > 0 && entries <= 16 && r.has(52, 4ull * entries)) {
            for (quint32 i = 0; i < entries; ++i)
                dashes.push_back(r.u32(52 + 4 * i));
        }
        GdiObject obj;
        obj.kind = GdiObject::Pen;
        if (brushStyle == 1)  // BS_NULL
            obj.pen = QPen(Qt::NoPen);
        else
            obj.pen = makePen(style, width, color, dashes);
        store(index, obj);
    }

    static QPen makePen(quint32 style, quint32 width, const QColor& color,
                        const std::vector<quint32>& userDashes)
    {
        const int line = style & 0xF;
        if (line == 5)  // PS_NULL
            return QPen(Qt::NoPen);
        QPen pen(color);
        const bool cosmetic = width <= 1;
        pen.setWidthF(cosmetic ? 0 : std::min<double>(width, kMaxPenWidth));
        switch (style & 0xF00) {
        case 0x100: pen.setCapStyle(Qt::SquareCap); break;
        case 0x200: pen.setCapStyle(Qt::FlatCap); break;
        default: pen.setCapStyle(Qt::RoundCap); break;
        }
        switch (style & 0xF000) {
        case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
        case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
        default: pen.setJoinStyle(Qt::RoundJoin); break;
        }
        // Cosmetic dashes have fixed pixel lengths; wide pens scale theirs with the width.
        QVector<qreal> pattern;
        switch (line) {
        case 1: pattern = cosmetic ? QVector<qreal>{18, 6} : QVector<qreal>{3, 1}; break;
        case 2: pattern = cosmetic ? QVector<qreal>{3, 3} : QVector<qreal>{1, 1}; break;
        case 3: pattern = cosmetic ? QVector<qreal>{9, 6, 3, 6} : QVector<qreal>{3, 1, 1, 1}; break;
        case 4:
            pattern = cosmetic ? QVector<qreal>{9, 3, 3, 3, 3, 3}
                               : QVector<qreal>{3, 1, 1, 1, 1, 1};
            break;
        case 7: {  // PS_USERSTYLE: lengths in logical units
            const double w = cosmetic ? 1.0 : double(width);
            for (quint32 d : userDashes)
                pattern << std::clamp(d / w, 0.1, 1000.0);
            if (pattern.size() % 2)
                pattern << pattern.back();
            break;
        }
        case 8: pattern = {1, 1}; break;  // PS_ALTERNATE
        default: break;
        }
        if (!pattern.isEmpty()) {
            if (cosmetic || line == 7)
                pen.setCapStyle(Qt::FlatCap);
            pen.setDashPattern(pattern);
        }
        return pen;
    }

    static Qt::BrushStyle hatchStyle(quint32 hatch)
    {
        switch (hatch) {
        case 0: return Qt::HorPattern;
        case 1: return Qt::VerPattern;
        case 2: return Qt::FDiagPattern;
        case 3: return Qt::BDiagPattern;
        case 4: return Qt::CrossPattern;
        case 5: return Qt::DiagCrossPattern;
        default: return Qt::SolidPattern;
        }
    }

    void createBrush(const Record& r)
    {
        if (!r.has(8, 16))
            return;
        const quint32 index = r.u32(8);
        const quint32 style = r.u32(12);
        const QColor color = ColorRefColor(r.u32(16));
        GdiObject obj;
        obj.kind = GdiObject::Brush;
        if (style == 1)  // BS_NULL
            obj.brush = QBrush(Qt::NoBrush);
        else if (style == 2)  // BS_HATCHED
            obj.brush = QBrush(color, hatchStyle(r.u32(20)));
        else
            obj.brush = QBrush(color);
        store(index, obj);
    }

    void createPatternBrush(const Record& r)
    {
        if (!r.has(8, 24))
            return;
        const quint32 index = r.u32(8);
        const QImage pattern = bitmap(r, 16, false);
        GdiObject obj;
        obj.kind = GdiObject::Brush;
        if (!pattern.isNull() && pattern.width() <= 256 && pattern.height() <= 256)
            obj.brush = QBrush(pattern.convertToFormat(QImage::Format_RGB32));
        else
            obj.brush = QBrush(Qt::gray);
        store(index, obj);
    }

    void createFont(const Record& r)
    {
        if (!r.has(8, 4 + 92))
            return;
        const quint32 index = r.u32(8);
        const quint64 lf = 12;
        LogFont font;
        font.height = r.i32(lf);
        font.width = r.i32(lf + 4);
        font.escapement = r.i32(lf + 8);
        font.orientation = r.i32(lf + 12);
        font.weight = r.i32(lf + 16);
        font.italic = r.u8(lf + 20) != 0;
        font.underline = r.u8(lf + 21) != 0;
        font.strikeOut = r.u8(lf + 22) != 0;
        font.charSet = r.u8(lf + 23);
        font.quality = r.u8(lf + 26);
        font.pitchAndFamily = r.u8(lf + 27);
        for (int i = 0; i < 32; ++i) {
            const quint16 ch = r.u16(lf + 28 + 2 * i);
            if (!ch)
                break;
            font.face += QChar(ch);
        }
        GdiObject obj;
        obj.kind = GdiObject::Font;
        obj.font = font;
        store(index, obj);
    }

    void store(quint32 index, const GdiObject& obj)
    {
        // Slot 0 is the metafile itself.
        if (index == 0)
            return;
        m_objects.Put(index, obj);
    }

    void selectStock(quint32 which)
    {
        switch (which) {
        case 0: m_s.brush = QBrush(Qt::white); break;
        case 1: m_s.brush = QBrush(QColor(192, 192, 192)); break;
        case 2: m_s.brush = QBrush(QColor(128, 128, 128)); break;
        case 3: m_s.brush = QBrush(QColor(64, 64, 64)); break;
        case 4: m_s.brush = QBrush(Qt::black); break;
        case 5: m_s.brush = QBrush(Qt::NoBrush); break;
        case 6: m_s.pen = QPen(Qt::white, 0); break;
        case 7: m_s.pen = QPen(Qt::black, 0); break;
        case 8: m_s.pen = QPen(Qt::NoPen); break;
        case 10: case 11: case 12: case 13: case 14: case 16: case 17:
            m_s.font = LogFont();
            if (which == 10 || which == 11 || which == 16)
                m_s.font.face = QStringLiteral("Courier New");
            break;
        case 18: m_s.brush = QBrush(Qt::white); break;  // DC_BRUSH
        case 19: m_s.pen = QPen(Qt::black, 0); break;   // DC_PEN
        default: break;
        }
    }

    void selectObject(const Record& r)
    {
        const quint32 index = r.u32(8);
        if (index & 0x80000000u) {
            selectStock(index & 0x7FFFFFFFu);
            return;
        }
        const auto obj = m_objects.Get(index);
        if (!obj)
            return;
        switch (obj->kind) {
        case GdiObject::Pen: m_s.pen = obj->pen; break;
        case GdiObject::Brush: m_s.brush = obj->brush; break;
        case GdiObject::Font: m_s.font = obj->font; break;
        case GdiObject::None: break;
        }
    }

    // ---------------------------------------------------------------- text

    // The font as both players resolve a LOGFONT (aliases, metric twins, the fallback face).
    QFont qtFont(double pixelSize) const
    {
        quint8 charSet = 0;
        QFont font = ResolveFont(m_s.font, &charSet);
        font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
        return font;
    }

    // Draws text in local text space (see textRecord) from origin, the left end of its
    // baseline.
    void drawTextRun(const QString& text, const std::vector<double>& dx,
                     const std::vector<double>& dy, quint32 options, const QRectF& rect,
                     const QTransform& local, const QFont& font, double fontScale,
                     const QPointF& origin, double width, double ascent, double descent)
    {
        const QTransform logical = logicalToDevice();
        const double x0 = origin.x(), baseline = origin.y();
        const bool perCharY = !dy.empty();
        applyClip();
        m_p.save();
        if ((options & kEtoClipped) && !rect.isNull()) {
            m_p.setTransform(m_base);
            QPainterPath clipPath;
            clipPath.addPolygon(logical.map(QPolygonF(rect.normalized())));
            m_p.setClipPath(clipPath, Qt::IntersectClip);
        }
        prepare(local, ColorRefColor(m_s.textColor), Qt::NoBrush);
        m_p.setBackgroundMode(Qt::TransparentMode);
        if (m_s.bkOpaque)
            m_p.fillRect(QRectF(x0, baseline - ascent, width, ascent + descent),
                       ColorRefColor(m_s.bkColor));
        const QTransform glyphs = QTransform::fromScale(fontScale, fontScale) * local * m_base;
        m_p.setTransform(glyphs);
        m_p.setFont(font);
        // The size of the em on the device, across and along: text too small to see is left
        // out, and text far larger or squeezed is drawn as outlines, because Qt's glyph cache
        // fails on such glyphs (Qt 6.4 crashes rendering a glyph thousands of pixels wide and a
        // fraction of a pixel high).
        const double across = font.pixelSize() * QLineF(glyphs.map(QPointF(0, 0)),
                                                        glyphs.map(QPointF(1, 0))).length();
        const double along = font.pixelSize() * QLineF(glyphs.map(QPointF(0, 0)),
                                                       glyphs.map(QPointF(0, 1))).length();
        if (!(across >= 0.5 && along >= 0.5)) {
            m_p.restore();
            return;
        }
        const bool outlines =
            across > 256 || along > 256 || across > 4 * along || along > 4 * across;
        QPainterPath outline;
        auto run = [&](const QPointF& at, const QString& part) {
            if (outlines)
                outline.addText(at, font, part);
            else
                m_p.drawText(at, part);
        };
        if (dx.empty()) {
            run(QPointF(x0 / fontScale, baseline / fontScale), text);
        } else {
            double x = x0, y = 0;
            for (int i = 0; i < text.size(); ++i) {
                run(QPointF(x / fontScale, (baseline + y) / fontScale), QString(text[i]));
                x += dx[std::size_t(i)];
                if (perCharY)
                    y += dy[std::size_t(i)];
            }
        }
        if (outlines)
            m_p.fillPath(outline, ColorRefColor(m_s.textColor));
        m_p.restore();
    }

    void textRecord(const Record& r, bool wide)
    {
        // Bounds, graphics mode, two scales, then the text object.
        if (!r.has(8, 16 + 12 + 20))
            return;
        const quint32 graphicsMode = r.u32(24);
        const quint64 t = 36;
        QPointF ref(r.i32(t), r.i32(t + 4));
        const quint32 chars = r.u32(t + 8);
        const quint32 offString = r.u32(t + 12);
        const quint32 options = r.u32(t + 16);
        QRectF rect;
        quint64 dxAt = t + 20;
        if (!(options & kEtoNoRect)) {
            if (!r.has(t + 20, 20))
                return;
            rect = rectL(r, t + 20);
            dxAt = t + 36;
        }
        const quint32 offDx = r.u32(dxAt);
        if (!r.has(offString, quint64(chars) * (wide ? 2 : 1)))
            return;
        QString text;
        if (wide) {
            text.reserve(chars);
            for (quint32 i = 0; i < chars; ++i)
                text += QChar(r.u16(offString + 2ull * i));
        } else {
            // Eight-bit text in the character set of the font (or of its alias), as WMF's.
            quint8 charSet = m_s.font.charSet;
            ResolveFont(m_s.font, &charSet);
            const auto* bytes = reinterpret_cast<const char*>(r.bytes(offString));
            text = DecodeText(QByteArray::fromRawData(bytes, qsizetype(chars)), charSet);
        }
        const bool perCharY = options & kEtoPdy;
        std::vector<double> dx, dy;
        const quint64 dxCount = quint64(chars) * (perCharY ? 2 : 1);
        if (offDx && chars && r.has(offDx, 4 * dxCount)) {
            for (quint32 i = 0; i < chars; ++i) {
                dx.push_back(r.i32(offDx + 4ull * i * (perCharY ? 2 : 1)));
                if (perCharY)
                    dy.push_back(r.i32(offDx + 4ull * (2 * i + 1)));
            }
        }
        if (m_inPath)
            return;
        const QTransform logical = logicalToDevice();

        if ((options & kEtoOpaque) && !rect.isNull() && inReach(rect.normalized(), logical)) {
            prepare(logical, Qt::NoPen, ColorRefColor(m_s.bkColor));
            m_p.drawRect(rect.normalized());
        }
        // Glyph indices name glyphs of the font the picture was made with, which we lack.
        if (text.isEmpty() || (options & kEtoGlyphIndex))
            return;
        if (m_s.textAlign & kTaUpdateCp)
            ref = m_s.current;

        // Character height: negative heights give the em size, positive ones the cell height.
        const double scale = logicalScale();
        double em = m_s.font.height < 0 ? -double(m_s.font.height) : double(m_s.font.height);
        if (m_s.font.height == 0)
            em = 12.0 / (scale > 0 ? scale : 1.0);
        if (!std::isfinite(em) || em <= 0)
            return;
        const double fontPixels = std::clamp(em, 1.0, double(kMaxFontPixels));
        QFont font = qtFont(fontPixels);
        double fontScale = em / fontPixels;  // logical units per font pixel
        if (m_s.font.height > 0) {
            const QFontMetricsF cell(font);
            const double h = cell.ascent() + cell.descent();
            if (h > 0)
                fontScale *= fontPixels / h;
        }
        const QFontMetricsF fm(font);
        double width = 0;
        if (!dx.empty()) {
            for (double d : dx)
                width += d;
        } else {
            width = fm.horizontalAdvance(text) * fontScale;
        }
        const double ascent = fm.ascent() * fontScale, descent = fm.descent() * fontScale;

        // Local text space: origin at the reference point, x along the baseline, logical units.
        // Text stays upright, as Windows draws it, unless the picture uses world transforms.
        QTransform local;
        const double escapement = -double(m_s.font.escapement) / 10.0;
        if (graphicsMode == 2) {
            local = QTransform::fromTranslate(ref.x(), ref.y()) * logical;
            if (logical.determinant() < 0)
                local = QTransform::fromScale(1, -1) * local;
            local = QTransform().rotate(escapement) * local;
        } else {
            const QPointF origin = logical.map(ref);
            const QPointF o = logical.map(QPointF(0, 0));
            const double sx = QLineF(o, logical.map(QPointF(1, 0))).length();
            const double sy = QLineF(o, logical.map(QPointF(0, 1))).length();
            local = QTransform().rotate(escapement) * QTransform::fromScale(sx, sy) *
                    QTransform::fromTranslate(origin.x(), origin.y());
        }

        double x0 = 0;
        switch (m_s.textAlign & kTaHorizontal) {
        case kTaRight: x0 = -width; break;
        case kTaCenter: x0 = -width / 2; break;
        default: break;
        }
        double baseline = ascent;
        switch (m_s.textAlign & kTaVertical) {
        case kTaBottom: baseline = -descent; break;
        case kTaBaseline: baseline = 0; break;
        default: break;
        }

        if (inReach(QRectF(x0, baseline - ascent, width, ascent + descent), local))
            drawTextRun(text, dx, dy, options, rect, local, font, fontScale,
                        QPointF(x0, baseline), width, ascent, descent);

        if (m_s.textAlign & kTaUpdateCp) {
            switch (m_s.textAlign & kTaHorizontal) {
            case kTaRight: m_s.current.rx() -= width; break;
            case kTaCenter: break;
            default: m_s.current.rx() += width; break;
            }
        }
    }

    // ---------------------------------------------------------------- bitmaps

    // The bitmap of a record: the offsets and sizes of its header and of its bits lie at at.
    static QImage bitmap(const Record& r, quint64 at, bool alpha,
                         std::optional<int> rows = std::nullopt)
    {
        const quint32 offBmi = r.u32(at), cbBmi = r.u32(at + 4);
        const quint32 offBits = r.u32(at + 8), cbBits = r.u32(at + 12);
        if (!r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
            return {};
        return DecodeDib(r.bytes(offBmi), cbBmi, r.bytes(offBits), cbBits, alpha, rows);
    }

    // Draws src of image into the logical rectangle dest (a negative size mirrors it).
    void drawBitmap(const QRectF& dest, const QImage& image, QRectF src, quint32 rop,
                    double opacity = 1.0)
    {
        if (m_inPath)
            return;
        src = src.normalized().intersected(QRectF(image.rect()));
        if (image.isNull() || src.isEmpty() || dest.width() == 0 || dest.height() == 0)
            return;
        const QTransform place(dest.width() / src.width(), 0, 0, dest.height() / src.height(),
                               dest.x(), dest.y());
        if (!inReach(QRectF(0, 0, src.width(), src.height()), place * logicalToDevice()))
            return;
        prepare(place * logicalToDevice(), Qt::NoPen, Qt::NoBrush);
        m_p.setRenderHint(QPainter::SmoothPixmapTransform, m_s.smoothStretch);
        m_p.setRenderHint(QPainter::Antialiasing, false);
        m_p.setOpacity(opacity);
        QImage source = image.copy(src.toAlignedRect());
        if (m_rasterOps) {
            switch (rop) {
            case kSrcAnd: m_p.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
            case kSrcPaint: m_p.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
            case kSrcInvert: m_p.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
            default: break;
            }
        }
        if (rop == kNotSrcCopy) {
            source = source.convertToFormat(QImage::Format_RGB32);
            source.invertPixels();
        }
        m_p.drawImage(QRectF(0, 0, source.width(), source.height()), source);
    }

    // A blit without a source bitmap paints the brush (or black or white) into the rectangle.
    void patternBlit(const QRectF& dest, quint32 rop)
    {
        if (m_inPath || rop == kDstInvert)
            return;
        QBrush brush = m_s.brush;
        if (rop == kBlackness)
            brush = QBrush(Qt::black);
        else if (rop == kWhiteness)
            brush = QBrush(Qt::white);
        if (!inReach(dest.normalized(), logicalToDevice()))
            return;
        prepare(logicalToDevice(), Qt::NoPen, brush);
        m_p.setRenderHint(QPainter::Antialiasing, false);
        if (rop == kPatInvert && m_rasterOps)
            m_p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        m_p.drawRect(dest.normalized());
    }

    // Whether a raster operation reads the source bitmap at all.
    static bool usesSource(quint32 rop)
    {
        const quint32 code = (rop >> 16) & 0xFF;
        return ((code >> 2) & 0x33) != (code & 0x33);
    }

    void bitBltRecord(const Record& r)
    {
        const bool stretch = r.type() == EMR_STRETCHBLT || r.type() == EMR_ALPHABLEND;
        if (!r.has(8, stretch ? 100 : 92))
            return;
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const quint32 rop = r.u32(40);
        const QPointF srcPos(r.i32(44), r.i32(48));
        const QTransform srcXform(r.f32(52), r.f32(56), r.f32(60), r.f32(64), r.f32(68),
                                  r.f32(72));
        const quint32 cbBmi = r.u32(88);
        const QSizeF srcSize = stretch ? QSizeF(r.i32(100), r.i32(104)) : dest.size();
        const bool alphaBlend = r.type() == EMR_ALPHABLEND;
        if (!alphaBlend && (cbBmi == 0 || !usesSource(rop))) {
            patternBlit(dest, rop);
            return;
        }
        const bool sourceAlpha = alphaBlend && (rop >> 24) == 1;  // AC_SRC_ALPHA
        const QImage image = bitmap(r, 84, sourceAlpha);
        QRectF src(srcPos, srcSize);
        if (srcXform.isInvertible() && !srcXform.isIdentity() && !(srcXform.m11() == 0 &&
                                                                   srcXform.m22() == 0))
            src = srcXform.mapRect(src);
        const double opacity = alphaBlend ? ((rop >> 16) & 0xFF) / 255.0 : 1.0;
        drawBitmap(dest, image, src, alphaBlend ? kSrcCopy : rop, opacity);
    }

    void stretchDibitsRecord(const Record& r)
    {
        if (!r.has(8, 72))
            return;
        const double xDest = r.i32(24), yDest = r.i32(28);
        const double xSrc = r.i32(32), ySrc = r.i32(36), cxSrc = r.i32(40), cySrc = r.i32(44);
        const quint32 offBmi = r.u32(48);
        const quint32 rop = r.u32(68);
        const double cxDest = r.i32(72), cyDest = r.i32(76);
        const QRectF dest(xDest, yDest, cxDest, cyDest);
        if (!usesSource(rop)) {
            patternBlit(dest, rop);
            return;
        }
        const QImage image = bitmap(r, 48, false);
        if (image.isNull())
            return;
        // A bottom-up bitmap counts its source rows from the bottom.
        const bool topDown = r.i32(offBmi + 8) < 0;
        const double top = topDown ? ySrc : image.height() - ySrc - cySrc;
        drawBitmap(dest, image, QRectF(xSrc, top, cxSrc, cySrc), rop);
    }

    void setDibitsRecord(const Record& r)
    {
        if (!r.has(8, 68))
            return;
        const QPointF destPos(r.i32(24), r.i32(28));
        const double xSrc = r.i32(32), ySrc = r.i32(36), cxSrc = r.i32(40), cySrc = r.i32(44);
        const quint32 offBmi = r.u32(48);
        const qint32 startScan = r.i32(68), scans = r.i32(72);
        if (scans <= 0 || startScan < 0)
            return;
        const QImage image = bitmap(r, 48, false, scans);
        if (image.isNull())
            return;
        const bool topDown = r.i32(offBmi + 8) < 0;
        const double top =
            topDown ? ySrc - startScan : double(startScan) + image.height() - ySrc - cySrc;
        // The destination size is in device pixels, so the bitmap is placed in device units.
        const QPointF at = logicalToDevice().map(destPos);
        const EmfDc saved = m_s;
        m_s.world = QTransform::fromTranslate(at.x(), at.y());
        m_s.mapMode = 1;
        m_s.windowOrg = m_s.viewportOrg = QPointF();
        drawBitmap(QRectF(0, 0, cxSrc, cySrc), image, QRectF(xSrc, top, cxSrc, cySrc), kSrcCopy);
        m_s = saved;
    }

    void fillRegionRecord(const Record& r, bool ownBrush)
    {
        if (!r.has(8, 24))
            return;
        const quint32 bytes = r.u32(24);
        const quint64 at = ownBrush ? 32 : 28;
        QBrush brush = m_s.brush;
        if (ownBrush) {
            const quint32 index = r.u32(28);
            if (index & 0x80000000u) {
                const EmfDc saved = m_s;
                selectStock(index & 0x7FFFFFFFu);
                brush = m_s.brush;
                m_s = saved;
            } else if (const auto obj = m_objects.Get(index);
                       obj && obj->kind == GdiObject::Brush) {
                brush = obj->brush;
            }
        }
        if (m_inPath)
            return;
        // The rectangles of a region do not overlap: each is filled on its own.
        const QTransform logical = logicalToDevice();
        const Rop2 rop = Rop2Mode(m_s.rop2);
        for (const QRectF& rect : regionRects(r, at, bytes)) {
            if (!inReach(rect, logical))
                continue;
            prepare(logical, Qt::NoPen, Rop2Brush(brush, rop));
            m_p.setRenderHint(QPainter::Antialiasing, false);
            ApplyRop2(m_p, rop, m_rasterOps);
            m_p.drawRect(rect);
        }
    }

    // ---------------------------------------------------------------- dispatch

    void dispatch(const Record& r)
    {
        switch (r.type()) {
        case EMR_HEADER:
            break;

        case EMR_POLYLINE: case EMR_POLYGON: case EMR_POLYBEZIER: case EMR_POLYLINETO:
        case EMR_POLYBEZIERTO:
            polyRecord(r, false);
            break;
        case EMR_POLYLINE16: case EMR_POLYGON16: case EMR_POLYBEZIER16: case EMR_POLYLINETO16:
        case EMR_POLYBEZIERTO16:
            polyRecord(r, true);
            break;
        case EMR_POLYPOLYLINE: polyPolyRecord(r, false, false); break;
        case EMR_POLYPOLYGON: polyPolyRecord(r, false, true); break;
        case EMR_POLYPOLYLINE16: polyPolyRecord(r, true, false); break;
        case EMR_POLYPOLYGON16: polyPolyRecord(r, true, true); break;

        case EMR_SETWINDOWEXTEX:
        case EMR_SETVIEWPORTEXTEX: {
            const qint32 cx = r.i32(8), cy = r.i32(12);
            if (!r.has(8, 8) || cx == 0 || cy == 0)
                break;
            (r.type() == EMR_SETWINDOWEXTEX ? m_s.windowExt : m_s.viewportExt) = QPointF(cx, cy);
            break;
        }
        case EMR_SCALEVIEWPORTEXTEX:
        case EMR_SCALEWINDOWEXTEX: {
            if (!r.has(8, 16))
                break;
            const double xn = r.i32(8), xd = r.i32(12), yn = r.i32(16), yd = r.i32(20);
            QPointF& ext = r.type() == EMR_SCALEWINDOWEXTEX ? m_s.windowExt : m_s.viewportExt;
            const QPointF scaled(xd ? ext.x() * xn / xd : 0, yd ? ext.y() * yn / yd : 0);
            if (scaled.x() != 0 && scaled.y() != 0 && std::isfinite(scaled.x()) &&
                std::isfinite(scaled.y()))
                ext = scaled;
            break;
        }
        case EMR_SETWINDOWORGEX:
            if (r.has(8, 8))
                m_s.windowOrg = point(r, 8, false);
            break;
        case EMR_SETVIEWPORTORGEX:
            if (r.has(8, 8))
                m_s.viewportOrg = point(r, 8, false);
            break;
        case EMR_SETMAPMODE: {
            const quint32 mode = r.u32(8);
            if (mode >= 1 && mode <= 8)
                m_s.mapMode = int(mode);
            break;
        }
        case EMR_SETWORLDTRANSFORM:
            if (r.has(8, 24))
                m_s.world = xform(r, 8);
            break;
        case EMR_MODIFYWORLDTRANSFORM: {
            if (!r.has(8, 28))
                break;
            const QTransform x = xform(r, 8);
            switch (r.u32(32)) {
            case 1: m_s.world = QTransform(); break;             // MWT_IDENTITY
            case 2: m_s.world = x * m_s.world; break;            // MWT_LEFTMULTIPLY
            case 3: m_s.world = m_s.world * x; break;            // MWT_RIGHTMULTIPLY
            case 4: m_s.world = x; break;                        // MWT_SET
            default: break;
            }
            break;
        }

        case EMR_SETBKMODE: SetBkMode(m_s.bkOpaque, r.u32(8)); break;
        case EMR_SETROP2: m_s.rop2 = int(r.u32(8)); break;
        case EMR_SETPOLYFILLMODE:
            m_s.fillRule = r.u32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
            break;
        case EMR_SETSTRETCHBLTMODE: m_s.smoothStretch = r.u32(8) == 4; break;
        case EMR_SETTEXTALIGN: m_s.textAlign = r.u32(8); break;
        case EMR_SETTEXTCOLOR: m_s.textColor = r.u32(8); break;
        case EMR_SETBKCOLOR: m_s.bkColor = r.u32(8); break;
        case EMR_SETARCDIRECTION: m_s.clockwise = r.u32(8) == 2; break;

        case EMR_MOVETOEX:
            if (!r.has(8, 8))
                break;
            m_s.current = point(r, 8, false);
            if (m_inPath)
                pathMoveTo(m_s.current);
            break;
        case EMR_LINETO:
            if (r.has(8, 8))
                drawLineFromCurrent(point(r, 8, false));
            break;
        case EMR_SETPIXELV: {
            if (!r.has(8, 12) || m_inPath)
                break;
            const QPointF at = logicalToDevice().map(point(r, 8, false));
            prepare(QTransform(), Qt::NoPen, ColorRefColor(r.u32(16)));
            m_p.setRenderHint(QPainter::Antialiasing, false);
            m_p.drawRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1));
            break;
        }

        case EMR_RECTANGLE:
        case EMR_ELLIPSE: {
            if (!r.has(8, 16))
                break;
            QPainterPath path;
            if (r.type() == EMR_RECTANGLE)
                path.addRect(rectL(r, 8).normalized());
            else
                path.addEllipse(rectL(r, 8).normalized());
            shape(path, true);
            break;
        }
        case EMR_ROUNDRECT: {
            if (!r.has(8, 24))
                break;
            QPainterPath path;
            path.addRoundedRect(rectL(r, 8).normalized(), std::abs(double(r.i32(24))) / 2,
                                std::abs(double(r.i32(28))) / 2);
            shape(path, true);
            break;
        }
        case EMR_ARC: case EMR_CHORD: case EMR_PIE: case EMR_ARCTO:
            arcRecord(r);
            break;
        case EMR_ANGLEARC: angleArcRecord(r); break;

        case EMR_CREATEPEN: createPen(r); break;
        case EMR_EXTCREATEPEN: extCreatePen(r); break;
        case EMR_CREATEBRUSHINDIRECT: createBrush(r); break;
        case EMR_CREATEMONOBRUSH:
        case EMR_CREATEDIBPATTERNBRUSHPT:
            createPatternBrush(r);
            break;
        case EMR_EXTCREATEFONTINDIRECTW: createFont(r); break;
        case EMR_SELECTOBJECT: selectObject(r); break;
        case EMR_DELETEOBJECT: {
            const quint32 index = r.u32(8);
            m_objects.Remove(index);
            break;
        }

        case EMR_SAVEDC:
            m_saved.Save(m_s);
            break;
        case EMR_RESTOREDC:
            if (m_saved.Restore(r.i32(8), m_s))
                m_clipDirty = true;
            break;

        case EMR_INTERSECTCLIPRECT:
            if (r.has(8, 16))
                combineClip(rectRegion(rectL(r, 8), logicalToDevice()), 1);
            break;
        case EMR_EXCLUDECLIPRECT:
            if (r.has(8, 16))
                combineClip(rectRegion(rectL(r, 8), logicalToDevice()), 4);
            break;
        case EMR_OFFSETCLIPRGN: {
            if (!r.has(8, 8) || !m_s.clip)
                break;
            const QTransform t = logicalToDevice() * m_base;
            const QPointF d = t.map(point(r, 8, false)) - t.map(QPointF(0, 0));
            m_s.clip->translate(int(std::lround(clampCoord(d.x()))),
                                int(std::lround(clampCoord(d.y()))));
            *m_s.clip &= m_clipBounds;
            m_clipDirty = true;
            break;
        }
        case EMR_EXTSELECTCLIPRGN: {
            if (!r.has(8, 8))
                break;
            const quint32 bytes = r.u32(8), mode = r.u32(12);
            if (bytes == 0) {
                if (mode == 5) {  // RGN_COPY without a region: no clipping
                    m_s.clip.reset();
                    m_clipDirty = true;
                }
                break;
            }
            if (bytes >= 32 && r.has(16, bytes))
                combineClip(deviceRegion(regionRects(r, 16, bytes)), mode);
            break;
        }

        case EMR_BEGINPATH:
            m_inPath = true;
            m_figureOpen = false;
            m_path = QPainterPath();
            break;
        case EMR_ENDPATH: m_inPath = false; break;
        case EMR_CLOSEFIGURE:
            if (m_inPath) {
                m_path.closeSubpath();
                m_figureOpen = false;
            }
            break;
        case EMR_ABORTPATH:
            m_inPath = false;
            m_path = QPainterPath();
            break;
        case EMR_FILLPATH: finishPath(false, true); break;
        case EMR_STROKEPATH: finishPath(true, false); break;
        case EMR_STROKEANDFILLPATH: finishPath(true, true); break;
        case EMR_WIDENPATH: {
            if (!pathUsable()) {
                m_path = QPainterPath();
                break;
            }
            // The outline of the pen's stroke, without its dashes.
            const QPen pen = devicePen();
            QPainterPathStroker stroker;
            stroker.setWidth(std::max(1.0, pen.widthF()));
            stroker.setCapStyle(pen.capStyle());
            stroker.setJoinStyle(pen.joinStyle());
            m_path = stroker.createStroke(m_path);
            break;
        }
        case EMR_SELECTCLIPPATH: {
            if (!pathUsable()) {
                m_path = QPainterPath();
                m_inPath = false;
                break;
            }
            const QPolygonF polygon = m_base.map(m_path.toFillPolygon());
            m_path = QPainterPath();
            m_inPath = false;
            combineClip(polygonRegion(polygon, m_s.fillRule), r.u32(8));
            break;
        }

        case EMR_EXTTEXTOUTW: textRecord(r, true); break;
        case EMR_EXTTEXTOUTA: textRecord(r, false); break;

        case EMR_BITBLT:
        case EMR_STRETCHBLT:
        case EMR_ALPHABLEND:
            bitBltRecord(r);
            break;
        case EMR_STRETCHDIBITS: stretchDibitsRecord(r); break;
        case EMR_SETDIBITSTODEVICE: setDibitsRecord(r); break;
        case EMR_FILLRGN: fillRegionRecord(r, true); break;
        case EMR_PAINTRGN: fillRegionRecord(r, false); break;

        default:
            break;  // comments, palettes, colour management and the rarer records
        }
    }

    static QTransform xform(const Record& r, quint64 at)
    {
        const QTransform t(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12),
                           r.f32(at + 16), r.f32(at + 20));
        return t.isInvertible() ? t : QTransform();
    }

    QPainter& m_p;
    QTransform m_base;
    QSizeF m_pixelsPerMm;
    QRectF m_reach;  // painter device pixels
    QRect m_clipBounds;
    bool m_rasterOps = false;
    EmfDc m_s;
    SavedStates<EmfDc> m_saved;
    ObjectTable<GdiObject> m_objects{kMaxHandles};
    bool m_clipDirty = false;
    bool m_inPath = false;
    bool m_figureOpen = false;
    QPainterPath m_path;  // device units of the picture
};

}  // namespace

std::optional<EmfPicture> EmfPicture::Parse(const QByteArray& bytes)
{
    if (bytes.size() < kHeaderSize)
        return std::nullopt;
    const Record head(reinterpret_cast<const uchar*>(bytes.constData()),
                      quint32(std::min<qsizetype>(bytes.size(), 0x7FFFFFFF)), 0);
    const quint32 headerSize = head.u32(4);
    if (head.u32(0) != EMR_HEADER || head.u32(40) != kEmfSignature || headerSize < kHeaderSize ||
        headerSize > quint64(bytes.size()))
        return std::nullopt;

    // Pixels per millimetre of the device the picture was made for; a screen at 96 dpi when the
    // header does not say.
    double ppmX = 96 / 25.4, ppmY = 96 / 25.4;
    const qint32 devX = head.i32(72), devY = head.i32(76), mmX = head.i32(80), mmY = head.i32(84);
    if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) {
        ppmX = double(devX) / mmX;
        ppmY = double(devY) / mmY;
        const qint32 umX = head.i32(100), umY = head.i32(104);
        if (headerSize >= 108 && umX > 0 && umY > 0) {
            ppmX = double(devX) / (umX / 1000.0);
            ppmY = double(devY) / (umY / 1000.0);
        }
    }

    const qint64 left = head.i32(24), top = head.i32(28), right = head.i32(32),
                 bottom = head.i32(36);
    QRectF frame(left, top, double(right - left), double(bottom - top));  // 0.01 mm
    if (frame.width() <= 0 || frame.height() <= 0) {
        // No usable frame: take the bounds, which are in device pixels, inclusive.
        const qint64 bl = head.i32(8), bt = head.i32(12), br = head.i32(16), bb = head.i32(20);
        if (br < bl || bb < bt)
            return std::nullopt;
        frame = QRectF(bl / ppmX * 100, bt / ppmY * 100, (br - bl + 1) / ppmX * 100,
                       (bb - bt + 1) / ppmY * 100);
    }
    const double maxHundredths = kMaxPixels * 2540.0 / 96;
    if (frame.width() > maxHundredths || frame.height() > maxHundredths)
        return std::nullopt;
    // A frame far off the origin would overflow the integer rectangles made of it below.
    constexpr double kMaxOffset = 1 << 28;
    if (std::abs(frame.left()) > kMaxOffset || std::abs(frame.top()) > kMaxOffset)
        return std::nullopt;

    EmfPicture picture;
    picture.m_frame = frame.toRect();
    if (picture.m_frame.width() <= 0 || picture.m_frame.height() <= 0)
        return std::nullopt;
    picture.m_pixelsPerMm = QSizeF(ppmX, ppmY);
    picture.m_deviceFrame = QRectF(frame.x() * ppmX / 100, frame.y() * ppmY / 100,
                                   frame.width() * ppmX / 100, frame.height() * ppmY / 100);
    picture.m_bytes = bytes;
    return picture;
}

QSize EmfPicture::SizeAtDpi(double dpiX, double dpiY) const
{
    return QSize(int(std::lround(m_frame.width() / 2540.0 * dpiX)),
                 int(std::lround(m_frame.height() / 2540.0 * dpiY)));
}

void EmfPicture::Play(QPainter& painter, const QRectF& target) const
{
    if (m_deviceFrame.isEmpty() || target.isEmpty())
        return;
    const double sx = target.width() / m_deviceFrame.width();
    const double sy = target.height() / m_deviceFrame.height();
    const QTransform toTarget(sx, 0, 0, sy, target.x() - m_deviceFrame.x() * sx,
                              target.y() - m_deviceFrame.y() * sy);
    painter.save();
    const QTransform outer = painter.transform();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.save();
    {
        Player player(painter, toTarget * outer, outer.mapRect(target), m_pixelsPerMm);
        player.play(m_bytes);
    }
    painter.restore();
    painter.restore();
}

}  // namespace orm
