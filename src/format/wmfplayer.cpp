#include "format/wmfplayer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <vector>

#include "format/dib.h"
#include "format/gdifont.h"
#include "format/gdistate.h"
#include "format/textcodec.h"

namespace orm {

using namespace gdi;

namespace {

// ------------------------------------------------------------------ constants of the format

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableHeaderBytes = 22;
constexpr qsizetype kMetaHeaderBytes = 18;

enum : quint16 {
    kEof = 0x0000,
    kRealizePalette = 0x0035,
    kSetPalEntries = 0x0037,
    kSaveDc = 0x001E,
    kCreatePalette = 0x00F7,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetPolyFillMode = 0x0106,
    kSetTextCharExtra = 0x0108,
    kRestoreDc = 0x0127,
    kInvertRegion = 0x012A,
    kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kDibCreatePatternBrush = 0x0142,
    kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228,
    kSelectPalette = 0x0234,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kFrameRegion = 0x0429,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kBitBlt = 0x0922,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kStretchBlt = 0x0B23,
    kDibStretchBlt = 0x0B41,
    kSetDiBitsToDevice = 0x0D33,
    kStretchDib = 0x0F43,
};


// ------------------------------------------------------------------ limits against bad files

constexpr std::size_t kMaxRecords = std::size_t{1} << 22;
constexpr std::size_t kMaxObjects = 65535;
constexpr int kMaxRegionRects = 8192;
// Beyond this a coordinate is nowhere near any device; such shapes are left out rather than
// handed to the rasteriser.
constexpr double kFar = 4.0e6;

quint16 U16(const uchar* p) { return static_cast<quint16>(p[0] | p[1] << 8); }
qint16 S16(const uchar* p) { return static_cast<qint16>(U16(p)); }
quint32 U32(const uchar* p) { return U16(p) | static_cast<quint32>(U16(p + 2)) << 16; }
qint32 S32(const uchar* p) { return static_cast<qint32>(U32(p)); }

// One record's parameters. Reads past the end give 0; handlers check what they need first.
struct Rec {
    quint16 fn = 0;
    const uchar* p = nullptr;
    std::size_t n = 0;  // parameter bytes

    bool has(std::size_t words) const { return n >= 2 * words; }
    quint16 w(std::size_t i) const { return 2 * i + 2 <= n ? U16(p + 2 * i) : 0; }
    qint16 s(std::size_t i) const { return static_cast<qint16>(w(i)); }
    quint32 d(std::size_t i) const { return w(i) | static_cast<quint32>(w(i + 1)) << 16; }
};

// Calls f for every record after the metafile header, up to the end record, the first record
// whose size does not fit the file, or kMaxRecords.
template <typename F>
void ForEachRecord(const QByteArray& body, F&& f)
{
    const auto* data = reinterpret_cast<const uchar*>(body.constData());
    const std::size_t size = static_cast<std::size_t>(body.size());
    std::size_t pos = kMetaHeaderBytes;
    for (std::size_t count = 0; count < kMaxRecords && pos + 6 <= size; ++count) {
        const quint32 words = U32(data + pos);
        const quint16 function = U16(data + pos + 4);
        if (words < 3 || words > (size - pos) / 2 || function == kEof) return;
        if (!f(Rec{function, data + pos + 6, std::size_t{words} * 2 - 6})) return;
        pos += std::size_t{words} * 2;
    }
}

// ------------------------------------------------------------------ objects and state

struct GdiObject {
    enum Kind { Pen, Brush, Font, Palette, Region, Other } kind = Other;
    // pen
    int penStyle = 0;
    double penWidth = 0;
    // pen and brush
    quint32 color = 0;
    // brush
    int brushStyle = 0;
    int hatch = 0;
    QImage pattern;
    // font
    LogFont font;
    // palette
    std::vector<QRgb> entries;
    // region, in logical units
    std::vector<QRect> rects;
};

using ObjectPtr = ObjectTable<GdiObject>::Ptr;

// The device context with what only WMF has: objects are resolved when drawn (a pen's width
// and a colour's palette index depend on the state then), and the drawing mode and extra
// character spacing. The clip is in painter coordinates.
struct WmfDc : DcState {
    ObjectPtr pen;
    ObjectPtr brush;
    ObjectPtr font;
    ObjectPtr palette;
    double charExtra = 0;
};

bool Near(const QPointF& p) { return std::abs(p.x()) < kFar && std::abs(p.y()) < kFar; }

// A coordinate for a region, held within the range a device can have.
int RegionCoord(double v) { return static_cast<int>(std::lround(ClampCoord(v, kFar))); }

QRect ToRegionRect(const QRectF& r) { return RegionRect(r, kFar); }

}  // namespace

// ------------------------------------------------------------------ the player

class WmfPlayer {
public:
    // With a painter it draws; without one it only collects the bounds of what would be drawn.
    WmfPlayer(const WmfPicture& picture, QPainter* painter, const QRectF& target,
              const QRectF& exposed = QRectF())
        : m_picture(picture), m_painter(painter), m_target(target), m_exposed(exposed)
    {
        m_state.mapMode = kMmAnisotropic;
        m_state.windowOrg = picture.m_windowOrg;
        m_state.windowExt = picture.m_windowExt;
        m_state.viewportExt =
            QPointF(std::abs(picture.m_windowExt.x()), std::abs(picture.m_windowExt.y()));
        const QRectF& f = picture.m_frame;
        m_kx = f.width() != 0 ? target.width() / f.width() : 1;
        m_ky = f.height() != 0 ? target.height() / f.height() : 1;
        m_frameOrigin = f.topLeft();
        if (m_painter) {
            m_blendModes = m_painter->paintEngine() &&
                           m_painter->paintEngine()->hasFeature(QPaintEngine::BlendModes);
            m_rasterOps = m_painter->paintEngine() &&
                          m_painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
            const QPaintDevice* device = m_painter->device();
            m_dpiY = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
        }
        m_largest = 64 * std::max({target.width(), target.height(), 16.0});
        updateMapping();
    }

    void Run()
    {
        if (m_painter) {
            m_painter->save();
            m_painter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                                      QPainter::SmoothPixmapTransform);
            m_painter->setClipRect(m_target, Qt::IntersectClip);
            m_baseClip = m_painter->clipRegion();
            m_clipDirty = true;
            // What can be seen at all: a large picture is drawn much faster when what lies
            // outside the device and the part being repainted is passed over.
            m_visible = m_painter->clipBoundingRect();
            if (!m_exposed.isEmpty()) m_visible &= m_exposed;
            bool invertible = false;
            const QTransform toPainter = m_painter->worldTransform().inverted(&invertible);
            const QPaintDevice* device = m_painter->device();
            if (device && device->width() > 0 && device->height() > 0 && invertible)
                m_visible &= toPainter.mapRect(QRectF(0, 0, device->width(), device->height()));
        }
        ForEachRecord(m_picture.m_body, [this](const Rec& r) {
            Dispatch(r);
            return true;
        });
        if (m_painter) m_painter->restore();
    }

    QRectF Measured() const { return m_measured; }

private:
    // ---------------------------------------------------------------- mapping

    void updateMapping()
    {
        double sx = 1;
        double sy = 1;
        const double inch = m_picture.m_unitsPerInch;
        switch (m_state.mapMode) {
            case kMmText:
                break;
            case kMmLoMetric:
                sx = inch / 254;
                sy = -sx;
                break;
            case kMmHiMetric:
                sx = inch / 2540;
                sy = -sx;
                break;
            case kMmLoEnglish:
                sx = inch / 100;
                sy = -sx;
                break;
            case kMmHiEnglish:
                sx = inch / 1000;
                sy = -sx;
                break;
            case kMmTwips:
                sx = inch / 1440;
                sy = -sx;
                break;
            default: {
                const QPointF s =
                    ExtentScale(m_state.mapMode, m_state.windowExt, m_state.viewportExt);
                sx = s.x();
                sy = s.y();
                break;
            }
        }
        m_ax = sx * m_kx;
        m_ay = sy * m_ky;
        m_bx = m_target.left() +
               (m_state.viewportOrg.x() - m_state.windowOrg.x() * sx - m_frameOrigin.x()) * m_kx;
        m_by = m_target.top() +
               (m_state.viewportOrg.y() - m_state.windowOrg.y() * sy - m_frameOrigin.y()) * m_ky;
    }

    QPointF map(double x, double y) const { return {m_ax * x + m_bx, m_ay * y + m_by}; }
    QRectF mapRect(double l, double t, double r, double b) const
    {
        return QRectF(map(l, t), map(r, b)).normalized();
    }
    // A length of the pen or a font, in painter units.
    double mapLength(double v) const { return v * std::sqrt(std::abs(m_ax * m_ay)); }

    // ---------------------------------------------------------------- objects

    // Each new object takes the lowest free slot; the records address objects by slot. A full
    // table refuses the object, as a device would.
    void createObject(GdiObject object) { m_objects.Add(std::move(object)); }

    ObjectPtr object(std::size_t index) const { return m_objects.Get(index); }

    QColor color(quint32 ref) const
    {
        if ((ref >> 24) == 1) {  // an index into the selected palette
            const std::size_t index = ref & 0xFFFF;
            if (m_state.palette && index < m_state.palette->entries.size())
                return QColor(m_state.palette->entries[index]);
            return Qt::black;
        }
        return ColorRefColor(ref);
    }

    std::vector<QRgb> paletteEntries() const
    {
        return m_state.palette ? m_state.palette->entries : std::vector<QRgb>();
    }

    // ---------------------------------------------------------------- drawing state

    bool applyClip()
    {
        if (!m_painter) return true;
        if (m_clipDirty) {
            m_painter->setClipRegion(m_state.clip ? m_baseClip.intersected(*m_state.clip)
                                                  : m_baseClip);
            m_clipDirty = false;
        }
        return true;
    }

    QPen currentPen() const
    {
        const GdiObject* pen = m_state.pen.get();
        const int style = pen ? pen->penStyle & 0x0F : 0;
        const Rop2 rop = Rop2Mode(m_state.rop2);
        if (style == 5 || !rop.draws) return Qt::NoPen;
        const QColor c = rop.color ? *rop.color : pen ? color(pen->color) : QColor(Qt::black);
        QPen result(c);
        double width = pen ? mapLength(std::abs(pen->penWidth)) : 0;
        if (std::isnan(width)) return Qt::NoPen;
        // QPen takes widths below 2^15 only; any wider pen covers the whole device anyway.
        width = std::min(width, 32767.0);
        // A device never draws thinner than one pixel; dashes exist only on such thin pens.
        if (width <= 1.0) {
            result.setWidth(0);
            switch (style) {
                case 1:
                    result.setStyle(Qt::DashLine);
                    break;
                case 2:
                    result.setStyle(Qt::DotLine);
                    break;
                case 3:
                    result.setStyle(Qt::DashDotLine);
                    break;
                case 4:
                    result.setStyle(Qt::DashDotDotLine);
                    break;
                default:
                    break;
            }
        } else {
            result.setWidthF(width);
        }
        const int cap = pen ? pen->penStyle & 0x0F00 : 0;
        result.setCapStyle(cap == 0x0100   ? Qt::SquareCap
                           : cap == 0x0200 ? Qt::FlatCap
                                           : Qt::RoundCap);
        const int join = pen ? pen->penStyle & 0xF000 : 0;
        result.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                            : join == 0x2000 ? Qt::MiterJoin
                                             : Qt::RoundJoin);
        return result;
    }

    bool insideFrame() const { return m_state.pen && (m_state.pen->penStyle & 0x0F) == 6; }

    QBrush currentBrush() const
    {
        const GdiObject* brush = m_state.brush.get();
        const Rop2 rop = Rop2Mode(m_state.rop2);
        if (!rop.draws) return Qt::NoBrush;
        if (!brush) return QBrush(rop.color ? *rop.color : QColor(Qt::white));
        const QColor c = rop.color ? *rop.color : color(brush->color);
        switch (brush->brushStyle) {
            case 1:
                return Qt::NoBrush;
            case 2: {
                static constexpr Qt::BrushStyle kHatches[] = {
                    Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                    Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
                const int hatch = brush->hatch;
                return QBrush(c, hatch >= 0 && hatch < 6 ? kHatches[hatch] : Qt::SolidPattern);
            }
            case 3:
            case 5:
            case 6:
                if (!brush->pattern.isNull() && !rop.color) return QBrush(brush->pattern);
                return QBrush(c);
            default:
                return QBrush(c);
        }
    }

    void setBackground()
    {
        m_painter->setBackgroundMode(m_state.bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
        m_painter->setBackground(color(m_state.bkColor));
    }

    void measure(const QRectF& r) { m_measured = m_measured.isNull() ? r : m_measured.united(r); }

    void drawPath(const QPainterPath& path, bool fill, bool stroke)
    {
        const QRectF bounds = path.boundingRect();
        if (!Near(bounds.topLeft()) || !Near(bounds.bottomRight())) return;
        // Stroking a curve costs as much as the curve is long, seen or not; a shape this many
        // times the size of the picture only comes from a broken mapping.
        if (m_painter && (bounds.width() > m_largest || bounds.height() > m_largest)) return;
        if (m_painter && stroke) {
            const double margin = m_state.pen ? mapLength(std::abs(m_state.pen->penWidth)) + 2 : 2;
            if (!bounds.adjusted(-margin, -margin, margin, margin).intersects(m_visible)) return;
        } else if (m_painter && !bounds.adjusted(-1, -1, 1, 1).intersects(m_visible)) {
            return;
        }
        if (!m_painter) {
            measure(bounds);
            return;
        }
        applyClip();
        setBackground();
        m_painter->setPen(stroke ? currentPen() : QPen(Qt::NoPen));
        m_painter->setBrush(fill ? currentBrush() : QBrush(Qt::NoBrush));
        const Rop2 rop = Rop2Mode(m_state.rop2);
        if (rop.raster && m_rasterOps) {
            m_painter->save();
            ApplyRop2(*m_painter, rop, m_rasterOps);
            m_painter->drawPath(path);
            m_painter->restore();
        } else {
            m_painter->drawPath(path);
        }
    }

    QPainterPath newPath() const
    {
        QPainterPath path;
        path.setFillRule(m_state.fillRule);
        return path;
    }

    // A rectangle of a shape record; an inside-frame pen keeps its whole width inside it.
    QRectF shapeRect(const Rec& r, std::size_t at) const
    {
        QRectF rect = mapRect(r.s(at + 3), r.s(at + 2), r.s(at + 1), r.s(at));
        if (insideFrame()) {
            const double half = mapLength(std::abs(m_state.pen->penWidth)) / 2;
            if (rect.width() > 2 * half && rect.height() > 2 * half)
                rect.adjust(half, half, -half, -half);
        }
        return rect;
    }

    // ---------------------------------------------------------------- records

    void Dispatch(const Rec& r)
    {
        switch (r.fn) {
            // -- device context
            case kSaveDc:
                m_saved.Save(m_state);
                break;
            case kRestoreDc:
                if (r.has(1) && m_saved.Restore(r.s(0), m_state)) {
                    m_clipDirty = true;
                    updateMapping();
                }
                break;
            case kSetBkMode:
                if (r.has(1)) SetBkMode(m_state.bkOpaque, r.w(0));
                break;
            case kSetBkColor:
                if (r.has(2)) m_state.bkColor = r.d(0);
                break;
            case kSetTextColor:
                if (r.has(2)) m_state.textColor = r.d(0);
                break;
            case kSetTextAlign:
                if (r.has(1)) m_state.textAlign = r.w(0);
                break;
            case kSetPolyFillMode:
                if (r.has(1)) m_state.fillRule = r.w(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
                break;
            case kSetRop2:
                if (r.has(1)) m_state.rop2 = r.w(0);
                break;
            case kSetTextCharExtra:
                if (r.has(1)) m_state.charExtra = r.s(0);
                break;

            // -- mapping
            case kSetMapMode:
                if (r.has(1) && r.w(0) >= kMmText && r.w(0) <= kMmAnisotropic) {
                    m_state.mapMode = r.w(0);
                    updateMapping();
                }
                break;
            case kSetWindowOrg:
                if (r.has(2)) {
                    m_state.windowOrg = QPointF(r.s(1), r.s(0));
                    updateMapping();
                }
                break;
            case kSetWindowExt:
                if (r.has(2) && r.s(0) != 0 && r.s(1) != 0) {
                    m_state.windowExt = QPointF(r.s(1), r.s(0));
                    updateMapping();
                }
                break;
            case kSetViewportOrg:
                if (r.has(2)) {
                    m_state.viewportOrg = QPointF(r.s(1), r.s(0));
                    updateMapping();
                }
                break;
            case kSetViewportExt:
                if (r.has(2) && r.s(0) != 0 && r.s(1) != 0) {
                    m_state.viewportExt = QPointF(r.s(1), r.s(0));
                    updateMapping();
                }
                break;
            case kOffsetWindowOrg:
                if (r.has(2)) {
                    m_state.windowOrg += QPointF(r.s(1), r.s(0));
                    updateMapping();
                }
                break;
            case kOffsetViewportOrg:
                if (r.has(2)) {
                    m_state.viewportOrg += QPointF(r.s(1), r.s(0));
                    updateMapping();
                }
                break;
            case kScaleWindowExt:
            case kScaleViewportExt: {
                if (!r.has(4) || r.s(0) == 0 || r.s(2) == 0) break;
                QPointF& ext = r.fn == kScaleWindowExt ? m_state.windowExt : m_state.viewportExt;
                const QPointF scaled(ext.x() * r.s(3) / r.s(2), ext.y() * r.s(1) / r.s(0));
                // Repeated scaling must not run the extents out of the range of numbers.
                auto sane = [](double v) { return std::abs(v) >= 1e-6 && std::abs(v) <= 1e9; };
                if (sane(scaled.x()) && sane(scaled.y())) {
                    ext = scaled;
                    updateMapping();
                }
                break;
            }

            // -- objects
            case kCreatePenIndirect: {
                GdiObject pen;
                pen.kind = GdiObject::Pen;
                pen.penStyle = r.w(0);
                pen.penWidth = r.s(1);
                pen.color = r.d(3);
                createObject(std::move(pen));
                break;
            }
            case kCreateBrushIndirect: {
                GdiObject brush;
                brush.kind = GdiObject::Brush;
                brush.brushStyle = r.w(0);
                brush.color = r.d(1);
                brush.hatch = r.w(3);
                // A pattern brush needs a bitmap this record cannot carry.
                if (brush.brushStyle >= 3 && brush.brushStyle != 4) brush.brushStyle = 0;
                createObject(std::move(brush));
                break;
            }
            case kCreateFontIndirect:
                createObject(fontObject(r));
                break;
            case kCreatePalette: {
                GdiObject palette;
                palette.kind = GdiObject::Palette;
                const std::size_t count =
                    std::min<std::size_t>(r.w(1), (r.n >= 4 ? r.n - 4 : 0) / 4);
                for (std::size_t i = 0; i < count; ++i) {
                    const uchar* e = r.p + 4 + i * 4;
                    palette.entries.push_back(qRgb(e[0], e[1], e[2]));
                }
                createObject(std::move(palette));
                break;
            }
            case kCreateRegion:
                createObject(regionObject(r));
                break;
            case kDibCreatePatternBrush: {
                GdiObject brush;
                brush.kind = GdiObject::Brush;
                brush.brushStyle = 5;
                if (r.n > 4)
                    if (auto dib = DecodePackedDib(r.p + 4, r.n - 4, r.w(1), paletteEntries()))
                        brush.pattern = dib->image;
                if (brush.pattern.isNull()) {
                    brush.brushStyle = 0;
                    brush.color = 0x808080;
                }
                createObject(std::move(brush));
                break;
            }
            case kCreatePatternBrush: {
                // A device-dependent bitmap; shown as the grey it averages to.
                GdiObject brush;
                brush.kind = GdiObject::Brush;
                brush.color = 0x808080;
                createObject(std::move(brush));
                break;
            }
            case kSelectObject: {
                if (!r.has(1)) break;
                const ObjectPtr o = object(r.w(0));
                if (!o) break;
                switch (o->kind) {
                    case GdiObject::Pen:
                        m_state.pen = o;
                        break;
                    case GdiObject::Brush:
                        m_state.brush = o;
                        break;
                    case GdiObject::Font:
                        m_state.font = o;
                        break;
                    case GdiObject::Region:
                        setClipToRegion(o.get());
                        break;
                    default:
                        break;
                }
                break;
            }
            case kSelectPalette:
                if (r.has(1))
                    if (ObjectPtr o = object(r.w(0)); o && o->kind == GdiObject::Palette)
                        m_state.palette = o;
                break;
            case kDeleteObject:
                // What is selected stays usable, as it does on a device that refuses the deletion.
                if (r.has(1)) m_objects.Remove(r.w(0));
                break;

            // -- clipping
            case kIntersectClipRect:
            case kExcludeClipRect: {
                if (!r.has(4)) break;
                const QRect rect = ToRegionRect(mapRect(r.s(3), r.s(2), r.s(1), r.s(0)));
                QRegion clip = m_state.clip ? *m_state.clip : QRegion(ToRegionRect(m_target));
                if (r.fn == kIntersectClipRect)
                    clip = clip.intersected(rect);
                else if (clip.rectCount() < kMaxRegionRects)
                    clip = clip.subtracted(rect);
                m_state.clip = clip;
                m_clipDirty = true;
                break;
            }
            case kOffsetClipRgn:
                if (r.has(2) && m_state.clip) {
                    m_state.clip->translate(RegionCoord(m_ax * r.s(1)), RegionCoord(m_ay * r.s(0)));
                    m_clipDirty = true;
                }
                break;
            case kSelectClipRegion:
                if (r.has(1)) {
                    const ObjectPtr o = object(r.w(0));
                    setClipToRegion(o && o->kind == GdiObject::Region ? o.get() : nullptr);
                }
                break;

            // -- lines and shapes
            case kMoveTo:
                if (r.has(2)) m_state.current = QPointF(r.s(1), r.s(0));
                break;
            case kLineTo: {
                if (!r.has(2)) break;
                const QPointF to(r.s(1), r.s(0));
                QPainterPath path;
                path.moveTo(map(m_state.current.x(), m_state.current.y()));
                path.lineTo(map(to.x(), to.y()));
                drawPath(path, false, true);
                m_state.current = to;
                break;
            }
            case kPolyline:
            case kPolygon: {
                const QPolygonF points = polygon(r, 0);
                if (points.size() < 2) break;
                QPainterPath path = newPath();
                path.addPolygon(points);
                if (r.fn == kPolygon) path.closeSubpath();
                drawPath(path, r.fn == kPolygon, true);
                break;
            }
            case kPolyPolygon: {
                if (!r.has(1)) break;
                const std::size_t polygons = r.w(0);
                if (!r.has(1 + polygons)) break;
                QPainterPath path = newPath();
                std::size_t at = 1 + polygons;  // word index of the next point
                for (std::size_t i = 0; i < polygons; ++i) {
                    const std::size_t count = r.w(1 + i);
                    if (!r.has(at + 2 * count)) return;
                    QPolygonF points;
                    points.reserve(static_cast<qsizetype>(count));
                    for (std::size_t k = 0; k < count; ++k)
                        points << map(r.s(at + 2 * k), r.s(at + 2 * k + 1));
                    at += 2 * count;
                    if (points.size() >= 2) {
                        path.addPolygon(points);
                        path.closeSubpath();
                    }
                }
                drawPath(path, true, true);
                break;
            }
            case kRectangle: {
                if (!r.has(4)) break;
                QPainterPath path;
                path.addRect(shapeRect(r, 0));
                drawPath(path, true, true);
                break;
            }
            case kEllipse: {
                if (!r.has(4)) break;
                QPainterPath path;
                path.addEllipse(shapeRect(r, 0));
                drawPath(path, true, true);
                break;
            }
            case kRoundRect: {
                if (!r.has(6)) break;
                const QRectF rect = shapeRect(r, 2);
                const double rx = std::min(std::abs(r.s(1) * m_ax) / 2, rect.width() / 2);
                const double ry = std::min(std::abs(r.s(0) * m_ay) / 2, rect.height() / 2);
                QPainterPath path;
                path.addRoundedRect(rect, rx, ry);
                drawPath(path, true, true);
                break;
            }
            case kArc:
            case kPie:
            case kChord:
                arc(r);
                break;
            case kSetPixel: {
                if (!r.has(4)) break;
                const QPointF at = map(r.s(3), r.s(2));
                const QRectF dot(
                    at, QSizeF(std::max(1.0, std::abs(m_ax)), std::max(1.0, std::abs(m_ay))));
                if (!Near(at)) break;
                if (!m_painter) {
                    measure(dot);
                    break;
                }
                applyClip();
                m_painter->fillRect(dot, color(r.d(0)));
                break;
            }
            case kFillRegion:
            case kPaintRegion: {
                if (!r.has(r.fn == kFillRegion ? 2 : 1)) break;
                const ObjectPtr region = object(r.w(0));
                if (!region || region->kind != GdiObject::Region) break;
                const ObjectPtr saved = m_state.brush;
                if (r.fn == kFillRegion) {
                    const ObjectPtr brush = object(r.w(1));
                    if (!brush || brush->kind != GdiObject::Brush) break;
                    m_state.brush = brush;
                }
                QPainterPath path;
                for (const QRect& rect : region->rects)
                    path.addRect(
                        mapRect(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1));
                path.setFillRule(Qt::WindingFill);
                drawPath(path, true, false);
                m_state.brush = saved;
                break;
            }

            // -- text
            case kTextOut: {
                if (!r.has(1)) break;
                const std::size_t count = r.w(0);
                const std::size_t padded = (count + 1) & ~std::size_t{1};
                if (r.n < 2 + padded + 4) break;
                const QByteArray text(reinterpret_cast<const char*>(r.p + 2),
                                      static_cast<qsizetype>(count));
                const std::size_t at = (2 + padded) / 2;
                textOut(QPointF(r.s(at + 1), r.s(at)), text, {}, 0, std::nullopt);
                break;
            }
            case kExtTextOut:
                extTextOut(r);
                break;

            // -- bitmaps
            case kStretchDib:
                if (r.has(11))
                    blitDib(r.d(0), r.w(2), 22, {r.s(6), r.s(5), r.s(4), r.s(3)},
                            {r.s(10), r.s(9), r.s(8), r.s(7)}, r, true);
                break;
            case kSetDiBitsToDevice:
                if (r.has(9))
                    blitDib(kSrcCopy, r.w(0), 18, {r.s(4), r.s(3), r.s(6), r.s(5)},
                            {r.s(8), r.s(7), r.s(6), r.s(5)}, r, true);
                break;
            case kDibStretchBlt:
                if (r.n == 2 * 11)  // no bitmap: the brush and the raster operation only
                    patBlt(r.d(0), r.s(10), r.s(9), r.s(8), r.s(7));
                else if (r.has(10))
                    blitDib(r.d(0), 0, 20, {r.s(5), r.s(4), r.s(3), r.s(2)},
                            {r.s(9), r.s(8), r.s(7), r.s(6)}, r, false);
                break;
            case kDibBitBlt:
                if (r.n == 2 * 9)
                    patBlt(r.d(0), r.s(8), r.s(7), r.s(6), r.s(5));
                else if (r.has(8))
                    blitDib(r.d(0), 0, 16, {r.s(3), r.s(2), r.s(5), r.s(4)},
                            {r.s(7), r.s(6), r.s(5), r.s(4)}, r, false);
                break;
            case kStretchBlt:
                // Device-dependent bitmaps are left out; the bitmap-less form is a pattern fill.
                if (r.n == 2 * 11) patBlt(r.d(0), r.s(10), r.s(9), r.s(8), r.s(7));
                break;
            case kBitBlt:
                if (r.n == 2 * 9) patBlt(r.d(0), r.s(8), r.s(7), r.s(6), r.s(5));
                break;
            case kPatBlt:
                if (r.has(6)) patBlt(r.d(0), r.s(5), r.s(4), r.s(3), r.s(2));
                break;

            default:
                break;  // palettes, escapes, flood fills and anything unknown
        }
    }

    QPolygonF polygon(const Rec& r, std::size_t at) const
    {
        QPolygonF points;
        if (!r.has(at + 1)) return points;
        const std::size_t count = r.w(at);
        if (!r.has(at + 1 + 2 * count)) return points;
        points.reserve(static_cast<qsizetype>(count));
        for (std::size_t k = 0; k < count; ++k)
            points << map(r.s(at + 1 + 2 * k), r.s(at + 2 + 2 * k));
        return points;
    }

    GdiObject fontObject(const Rec& r) const
    {
        GdiObject font;
        font.kind = GdiObject::Font;
        LogFont& lf = font.font;
        lf.height = r.s(0);
        lf.width = r.s(1);
        lf.escapement = r.s(2);
        lf.orientation = r.s(3);
        lf.weight = r.s(4);
        if (r.n >= 18) {
            lf.italic = r.p[10] != 0;
            lf.underline = r.p[11] != 0;
            lf.strikeOut = r.p[12] != 0;
            lf.charSet = r.p[13];
            lf.quality = r.p[16];
            lf.pitchAndFamily = r.p[17];
            const std::size_t length = std::min<std::size_t>(32, r.n - 18);
            const auto* face = reinterpret_cast<const char*>(r.p + 18);
            // Face names are in the system code page, a Cyrillic one for this program's users.
            lf.face = FromCp1251(std::string_view(face, qstrnlen(face, static_cast<uint>(length))));
        }
        return font;
    }

    GdiObject regionObject(const Rec& r) const
    {
        GdiObject region;
        region.kind = GdiObject::Region;
        // nextInChain, objectType, objectCount(2), regionSize, scanCount, maxScan, bounds(4)
        if (!r.has(11)) return region;
        const std::size_t scans = r.w(5);
        std::size_t at = 11;
        for (std::size_t i = 0; i < scans && region.rects.size() < kMaxRegionRects; ++i) {
            if (!r.has(at + 3)) break;
            const std::size_t count = r.w(at);
            const int top = r.s(at + 1);
            const int bottom = r.s(at + 2);
            if (!r.has(at + 3 + count + 1)) break;
            for (std::size_t k = 0; k + 1 < count && region.rects.size() < kMaxRegionRects;
                 k += 2) {
                const int left = r.s(at + 3 + k);
                const int right = r.s(at + 4 + k);
                if (right > left && bottom > top)
                    region.rects.push_back(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
            }
            at += 3 + count + 1;
        }
        if (scans == 0) {
            const QRect bounds(QPoint(r.s(7), r.s(8)), QPoint(r.s(9) - 1, r.s(10) - 1));
            if (bounds.isValid()) region.rects.push_back(bounds);
        }
        return region;
    }

    void setClipToRegion(const GdiObject* region)
    {
        if (!region) {
            m_state.clip.reset();
        } else {
            std::vector<QRegion> parts;
            parts.reserve(region->rects.size());
            for (const QRect& rect : region->rects)
                parts.emplace_back(ToRegionRect(
                    mapRect(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1)));
            m_state.clip = UniteRegions(std::move(parts));
        }
        m_clipDirty = true;
    }

    void arc(const Rec& r)
    {
        if (!r.has(8)) return;
        const QRectF rect = shapeRect(r, 4);
        if (rect.isEmpty()) return;
        const double start = EllipseAngle(rect, map(r.s(3), r.s(2)));
        const double end = EllipseAngle(rect, map(r.s(1), r.s(0)));
        double sweep = end - start;
        // Counterclockwise on the device; equal ends make the whole ellipse.
        while (sweep <= 0) sweep += 360;
        // A mirrored mapping turns the device's counterclockwise around.
        if (m_ax * m_ay < 0) sweep -= 360;
        QPainterPath path;
        if (r.fn == kPie) {
            path.moveTo(rect.center());
            path.arcTo(rect, start, sweep);
            path.closeSubpath();
        } else {
            path.arcMoveTo(rect, start);
            path.arcTo(rect, start, sweep);
            if (r.fn == kChord) path.closeSubpath();
        }
        drawPath(path, r.fn != kArc, true);
    }

    // ---------------------------------------------------------------- text

    void extTextOut(const Rec& r)
    {
        if (!r.has(4)) return;
        const std::size_t count = r.w(2);
        const quint16 options = r.w(3);
        std::size_t at = 8;
        std::optional<QRectF> rect;
        if (options & (kEtoOpaque | kEtoClipped)) {
            if (!r.has(8)) return;
            rect = QRectF(QPointF(r.s(4), r.s(5)), QPointF(r.s(6), r.s(7)));
            at = 16;
        }
        if (r.n < at + count) return;
        const QByteArray text(reinterpret_cast<const char*>(r.p + at),
                              static_cast<qsizetype>(count));
        at += (count + 1) & ~std::size_t{1};
        std::vector<double> dx;
        const std::size_t step = options & kEtoPdy ? 2 : 1;
        if (count > 0 && r.n >= at + 2 * step * count) {
            dx.reserve(count);
            for (std::size_t i = 0; i < count; ++i) dx.push_back(S16(r.p + at + 2 * step * i));
        }
        if (options & kEtoGlyphIndex) {
            // Glyph indexes of a font we do not have: only the background can be shown.
            textOut(QPointF(r.s(1), r.s(0)), QByteArray(), {}, options, rect);
            return;
        }
        textOut(QPointF(r.s(1), r.s(0)), text, dx, options, rect);
    }

    void textOut(QPointF at, const QByteArray& bytes, const std::vector<double>& dx,
                 quint16 options, const std::optional<QRectF>& rectLogical)
    {
        const unsigned align = m_state.textAlign;
        const bool updateCp = align & kTaUpdateCp;
        if (updateCp) at = m_state.current;
        const QPointF ref = map(at.x(), at.y());

        LogFont lf;
        if (m_state.font) lf = m_state.font->font;
        if (m_painter && !updateCp && !seen(ref, lf, bytes.size(), options, rectLogical)) return;
        quint8 charSet = lf.charSet;
        QFont font = ResolveFont(lf, &charSet);
        const QString text = DecodeText(bytes, charSet);

        // A LOGFONT height is the cell height when positive, the character height when negative.
        double em;
        if (lf.height < 0) {
            em = -lf.height;
        } else {
            const double cell = lf.height > 0 ? lf.height : m_picture.m_unitsPerInch / 6.0;
            em = cell * m_cellToEm(font);
        }
        em = std::abs(em * m_ay);
        const double limit = 16 * std::max(m_target.width(), m_target.height()) + 1000;

        std::optional<QRectF> rect;
        if (rectLogical)
            rect = mapRect(rectLogical->left(), rectLogical->top(), rectLogical->right(),
                           rectLogical->bottom());
        if (!Near(ref) || (rect && (!Near(rect->topLeft()) || !Near(rect->bottomRight())))) return;
        const bool drawable = em >= 0.05 && (em <= limit || !m_painter) && !text.isEmpty();

        if (!m_painter) {
            if (rect) measure(*rect);
            if (drawable) {
                // Without a device the run is estimated: an average character is about half
                // an em wide, a cell about 1.2 em high.
                const double width = 0.6 * em * static_cast<double>(text.size());
                const double cell = 1.2 * em;
                double left = ref.x();
                if ((align & kTaHorizontal) == kTaCenter)
                    left -= width / 2;
                else if ((align & kTaHorizontal) == kTaRight)
                    left -= width;
                double top = ref.y();
                if ((align & kTaVertical) == kTaBottom)
                    top -= cell;
                else if ((align & kTaVertical) == kTaBaseline)
                    top -= em;
                measure(QRectF(left, top, width, cell));
            }
            return;
        }

        applyClip();
        m_painter->save();
        m_painter->setBackgroundMode(Qt::TransparentMode);
        if (rect && (options & kEtoOpaque)) m_painter->fillRect(*rect, color(m_state.bkColor));
        if (rect && (options & kEtoClipped)) m_painter->setClipRect(*rect, Qt::IntersectClip);

        double total = 0;
        if (drawable) {
            font.setPointSizeF(em * 72.0 / m_dpiY);
            const QFontMetricsF metrics(font, m_painter->device());
            if (lf.width != 0) {
                // The width asks for a narrower or wider face: stretch to that average width.
                const double natural = metrics.averageCharWidth();
                const double wanted = std::abs(lf.width * m_ax);
                if (natural > 0)
                    font.setStretch(
                        std::clamp(static_cast<int>(std::lround(wanted / natural * 100)), 1, 4000));
            }
            const QFontMetricsF fm(font, m_painter->device());
            const double extra = m_state.charExtra * std::abs(m_ax);
            std::vector<double> advances;
            if (!dx.empty() || extra != 0) {
                for (qsizetype i = 0; i < text.size(); ++i) {
                    const double a = static_cast<std::size_t>(i) < dx.size()
                                         ? dx[static_cast<std::size_t>(i)] * std::abs(m_ax)
                                         : fm.horizontalAdvance(text.at(i)) + extra;
                    advances.push_back(a);
                    total += a;
                }
            } else {
                total = fm.horizontalAdvance(text);
            }
            double x = 0;
            switch (align & kTaHorizontal) {
                case kTaRight:
                    x = -total;
                    break;
                case kTaCenter:
                    x = -total / 2;
                    break;
                default:
                    break;
            }
            double baseline = 0;
            switch (align & kTaVertical) {
                case kTaBottom:
                    baseline = -fm.descent();
                    break;
                case kTaBaseline:
                    break;
                default:
                    baseline = fm.ascent();
                    break;
            }
            m_painter->translate(ref);
            if (lf.escapement != 0) m_painter->rotate(-lf.escapement / 10.0);
            if (m_state.bkOpaque)
                m_painter->fillRect(
                    QRectF(x, baseline - fm.ascent(), total, fm.ascent() + fm.descent()),
                    color(m_state.bkColor));
            m_painter->setFont(font);
            m_painter->setPen(color(m_state.textColor));
            if (advances.empty()) {
                m_painter->drawText(QPointF(x, baseline), text);
            } else {
                for (qsizetype i = 0; i < text.size(); ++i) {
                    m_painter->drawText(QPointF(x, baseline), QString(text.at(i)));
                    x += advances[static_cast<std::size_t>(i)];
                }
            }
        }
        m_painter->restore();

        if (updateCp && m_ax != 0) {
            const double moved = total / std::abs(m_ax);
            switch (align & kTaHorizontal) {
                case kTaRight:
                    m_state.current.rx() -= moved;
                    break;
                case kTaCenter:
                    break;
                default:
                    m_state.current.rx() += moved;
                    break;
            }
        }
    }

    // False when a text run cannot reach the visible part of the target: its clip rectangle is
    // elsewhere, or it is too far from its reference point for a run of its length.
    bool seen(const QPointF& ref, const LogFont& lf, qsizetype length, quint16 options,
              const std::optional<QRectF>& rectLogical) const
    {
        if (rectLogical && (options & kEtoClipped)) {
            const QRectF rect = mapRect(rectLogical->left(), rectLogical->top(),
                                        rectLogical->right(), rectLogical->bottom());
            if (!rect.intersects(m_visible)) return false;
        }
        const double height = lf.height != 0 ? std::abs(lf.height) : m_picture.m_unitsPerInch / 6.0;
        const double reach = (height * std::max(std::abs(m_ay), std::abs(m_ax)) * 2 + 1) *
                             (static_cast<double>(length) + 2) *
                             std::max(1.0, lf.width != 0 ? 4.0 : 1.0);
        return QRectF(ref.x() - reach, ref.y() - reach, 2 * reach, 2 * reach).intersects(m_visible);
    }

    // ---------------------------------------------------------------- bitmaps and raster fills

    void patBlt(quint32 rop, double x, double y, double w, double h)
    {
        const QRectF rect = mapRect(x, y, x + w, y + h);
        if (!Near(rect.topLeft()) || !Near(rect.bottomRight())) return;
        if (!m_painter) {
            measure(rect);
            return;
        }
        applyClip();
        switch (rop) {
            case kBlackness:
                m_painter->fillRect(rect, Qt::black);
                break;
            case kWhiteness:
                m_painter->fillRect(rect, Qt::white);
                break;
            case kPatCopy:
                m_painter->fillRect(rect, currentBrush());
                break;
            case kPatInvert:
            case kDstInvert:
                if (m_rasterOps || m_blendModes) {
                    m_painter->save();
                    m_painter->setCompositionMode(m_rasterOps
                                                      ? QPainter::RasterOp_SourceXorDestination
                                                      : QPainter::CompositionMode_Difference);
                    m_painter->fillRect(rect,
                                        rop == kDstInvert ? QBrush(Qt::white) : currentBrush());
                    m_painter->restore();
                }
                break;
            default:
                break;  // operations that keep the destination
        }
    }

    struct Box {
        int x, y, w, h;
    };

    // Draws the DIB at byte offset dibAt of the record: source rectangle src (pixels) into the
    // logical rectangle dst. bottomUpSource: source rows counted from the bottom of a bottom-up
    // bitmap, as the records that take the bitmap directly do.
    void blitDib(quint32 rop, int colorUsage, std::size_t dibAt, Box src, Box dst, const Rec& r,
                 bool bottomUpSource)
    {
        if (r.n <= dibAt) return;
        const QRectF target = mapRect(dst.x, dst.y, double(dst.x) + dst.w, double(dst.y) + dst.h);
        if (!Near(target.topLeft()) || !Near(target.bottomRight()) || target.isEmpty()) return;
        if (!m_painter) {
            measure(target);
            return;
        }
        if (!target.intersects(m_visible)) return;
        const std::optional<Dib> dib =
            DecodePackedDib(r.p + dibAt, r.n - dibAt, colorUsage, paletteEntries());
        if (!dib) return;
        const QRectF whole(0, 0, dib->image.width(), dib->fullHeight);
        const bool bottomUp =
            r.n >= dibAt + 12 && U32(r.p + dibAt) >= 40 && S32(r.p + dibAt + 8) > 0;

        QRectF source = QRectF(src.x, src.y, src.w, src.h).normalized();
        if (bottomUpSource && bottomUp) source.moveTop(whole.height() - source.bottom());
        if (source.isEmpty()) source = whole;
        // Only the part of the source inside the bitmap, and of that the rows the file holds,
        // is drawn, where it belongs.
        const QRectF held(0, dib->firstRow, dib->image.width(), dib->image.height());
        const QRectF inside = source.intersected(whole).intersected(held);
        if (inside.isEmpty()) return;
        const bool flipX = (dst.w * m_ax < 0) != (src.w < 0);
        const bool flipY = (dst.h * m_ay < 0) != (src.h < 0);
        const double sx = target.width() / source.width();
        const double sy = target.height() / source.height();
        QRectF part((flipX ? source.right() - inside.right() : inside.left() - source.left()) * sx,
                    (flipY ? source.bottom() - inside.bottom() : inside.top() - source.top()) * sy,
                    inside.width() * sx, inside.height() * sy);
        part.translate(target.topLeft());
        QImage piece = dib->image.copy(inside.translated(0, -dib->firstRow).toAlignedRect());
        if (flipX || flipY) piece = piece.mirrored(flipX, flipY);

        applyClip();
        m_painter->save();
        switch (rop) {
            case kSrcAnd:
                if (!setRasterMode(QPainter::RasterOp_SourceAndDestination,
                                   QPainter::CompositionMode_Multiply)) {
                    m_painter->restore();
                    return;
                }
                break;
            case kSrcPaint:
                setRasterMode(QPainter::RasterOp_SourceOrDestination,
                              QPainter::CompositionMode_Lighten);
                break;
            case kSrcInvert:
                setRasterMode(QPainter::RasterOp_SourceXorDestination,
                              QPainter::CompositionMode_Difference);
                break;
            case kNotSrcCopy:
                piece.invertPixels();
                break;
            default:
                break;
        }
        m_painter->drawImage(part, piece);
        m_painter->restore();
    }

    bool setRasterMode(QPainter::CompositionMode rasterOp, QPainter::CompositionMode blend)
    {
        if (m_rasterOps)
            m_painter->setCompositionMode(rasterOp);
        else if (m_blendModes)
            m_painter->setCompositionMode(blend);
        else
            return false;
        return true;
    }

    const WmfPicture& m_picture;
    QPainter* m_painter;
    QRectF m_target;
    QRectF m_exposed;
    QPointF m_frameOrigin;
    double m_kx = 1;
    double m_ky = 1;
    double m_ax = 1;
    double m_ay = 1;
    double m_bx = 0;
    double m_by = 0;
    double m_dpiY = 96;
    double m_largest = 0;  // painter units
    QRectF m_visible;      // painter units
    bool m_blendModes = false;
    bool m_rasterOps = false;

    WmfDc m_state;
    SavedStates<WmfDc> m_saved;
    ObjectTable<GdiObject> m_objects{kMaxObjects};
    QRegion m_baseClip;
    bool m_clipDirty = true;
    QRectF m_measured;
    CellToEm m_cellToEm;
};

// ------------------------------------------------------------------ WmfPicture

std::optional<WmfPicture> WmfPicture::Parse(const QByteArray& bytes)
{
    if (bytes.size() > kMaxFileBytes) return std::nullopt;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    WmfPicture picture;
    qsizetype headerAt = 0;
    QRect box;
    int inch = 0;
    if (bytes.size() >= kPlaceableHeaderBytes && U32(data) == kPlaceableKey) {
        picture.m_placeable = true;
        box = QRect(QPoint(S16(data + 6), S16(data + 8)), QPoint(S16(data + 10), S16(data + 12)));
        inch = U16(data + 14);
        headerAt = kPlaceableHeaderBytes;
    }
    if (bytes.size() < headerAt + kMetaHeaderBytes) return std::nullopt;
    const uchar* header = data + headerAt;
    const quint16 type = U16(header);
    const quint16 headerWords = U16(header + 2);
    const quint16 version = U16(header + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        return std::nullopt;
    picture.m_body = bytes.mid(headerAt);

    // QRect's right and bottom are inclusive; the header's are the far edges.
    const double boxWidth = box.right() - box.left();
    const double boxHeight = box.bottom() - box.top();
    if (picture.m_placeable && boxWidth != 0 && boxHeight != 0) {
        picture.m_unitsPerInch = inch > 0 ? inch : 1440;
        picture.m_windowOrg = QPointF(box.left(), box.top());
        picture.m_windowExt = QPointF(boxWidth, boxHeight);
        picture.m_frame = QRectF(0, 0, std::abs(boxWidth), std::abs(boxHeight));
        picture.m_bounds =
            QRectF(QPointF(box.left(), box.top()), QPointF(box.right(), box.bottom()));
        return picture;
    }

    picture.m_unitsPerInch = picture.m_placeable && inch > 0 ? inch : kPlainUnitsPerInch;
    // A plain file: the window it sets up is its frame.
    std::optional<QPointF> org;
    std::optional<QPointF> ext;
    ForEachRecord(picture.m_body, [&](const Rec& r) {
        if (r.fn == kSetWindowOrg && r.has(2) && !org) org = QPointF(r.s(1), r.s(0));
        if (r.fn == kSetWindowExt && r.has(2) && !ext && r.s(0) != 0 && r.s(1) != 0)
            ext = QPointF(r.s(1), r.s(0));
        return !(org && ext);
    });
    // The natural size of a plain file: see kPlainMaxPixels.
    auto plainUnits = [&picture] {
        if (picture.m_placeable) return;
        const double side = std::max(picture.m_frame.width(), picture.m_frame.height());
        if (side > kPlainMaxPixels)
            picture.m_unitsPerInch = static_cast<int>(
                std::min(65535.0, std::ceil(side * kPlainUnitsPerInch / kPlainMaxPixels)));
    };
    if (ext) {
        picture.m_windowOrg = org.value_or(QPointF());
        picture.m_windowExt = *ext;
        picture.m_frame = QRectF(0, 0, std::abs(ext->x()), std::abs(ext->y()));
        picture.m_bounds = QRectF(picture.m_windowOrg, picture.m_windowOrg + *ext).normalized();
        plainUnits();
        return picture;
    }
    // Nor that: the frame is what the records draw, in their own units.
    picture.m_windowOrg = QPointF();
    picture.m_windowExt = QPointF(1, 1);
    picture.m_frame = QRectF(0, 0, 1, 1);
    WmfPlayer measurer(picture, nullptr, picture.m_frame);
    measurer.Run();
    const QRectF drawn = measurer.Measured();
    if (!(drawn.width() >= 1e-3 && drawn.height() >= 1e-3)) return std::nullopt;
    picture.m_frame = drawn;
    picture.m_bounds = drawn;
    plainUnits();
    return picture;
}

QSizeF WmfPicture::PhysicalSizeMm() const
{
    return QSizeF(m_frame.width() * 25.4 / m_unitsPerInch,
                  m_frame.height() * 25.4 / m_unitsPerInch);
}

QSize WmfPicture::SizeAtDpi(double dpiX, double dpiY) const
{
    return QSize(static_cast<int>(std::lround(m_frame.width() * dpiX / m_unitsPerInch)),
                 static_cast<int>(std::lround(m_frame.height() * dpiY / m_unitsPerInch)));
}

QByteArray WmfPicture::PlaceableBytes() const
{
    auto clamp16 = [](double v) {
        return static_cast<quint16>(
            static_cast<qint16>(std::clamp(std::lround(v), -32768L, 32767L)));
    };
    quint16 words[11] = {};
    words[0] = static_cast<quint16>(kPlaceableKey & 0xFFFF);
    words[1] = static_cast<quint16>(kPlaceableKey >> 16);
    const QRectF box = m_placeable ? m_bounds : QRectF(m_bounds.topLeft(), m_frame.size());
    words[3] = clamp16(box.left());
    words[4] = clamp16(box.top());
    // The far edges from the rounded near ones and the rounded size: rounding each edge on its
    // own could make a picture a unit wider or taller than it was.
    words[5] = clamp16(std::lround(box.left()) + std::lround(box.width()));
    words[6] = clamp16(std::lround(box.top()) + std::lround(box.height()));
    words[7] = static_cast<quint16>(std::clamp(m_unitsPerInch, 1, 65535));
    for (int i = 0; i < 10; ++i) words[10] ^= words[i];
    QByteArray out;
    out.reserve(kPlaceableHeaderBytes + m_body.size());
    for (quint16 w : words) {
        out.append(static_cast<char>(w & 0xFF));
        out.append(static_cast<char>(w >> 8));
    }
    out.append(m_body);
    return out;
}

void WmfPicture::Play(QPainter& painter, const QRectF& target, const QRectF& exposed) const
{
    if (target.isEmpty() || m_frame.isEmpty()) return;
    WmfPlayer player(*this, &painter, target, exposed);
    player.Run();
}

}  // namespace orm
