#pragma once

// The device context both metafile players follow: the GDI constants their records share, the
// state a record changes (colours, background, text alignment, fill mode, mapping, current
// position, clipping), the table of created objects and the stack of saved states, and the
// colour and clip-region conversions. What only one format has (the 16-bit records and
// palette colours of WMF, the world transform and paths of EMF) stays with its player.

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRect>
#include <QRegion>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace orm::gdi {

// ------------------------------------------------------------------ constants of the records

enum MapMode {
    kMmText = 1,
    kMmLoMetric = 2,
    kMmHiMetric = 3,
    kMmLoEnglish = 4,
    kMmHiEnglish = 5,
    kMmTwips = 6,
    kMmIsotropic = 7,
    kMmAnisotropic = 8,
};

constexpr int kTransparent = 1;
constexpr int kOpaque = 2;

constexpr unsigned kTaUpdateCp = 1;
constexpr unsigned kTaHorizontal = 6;  // left 0, right 2, centre 6
constexpr unsigned kTaRight = 2;
constexpr unsigned kTaCenter = 6;
constexpr unsigned kTaVertical = 24;  // top 0, bottom 8, baseline 24
constexpr unsigned kTaBottom = 8;
constexpr unsigned kTaBaseline = 24;

constexpr unsigned kEtoOpaque = 0x0002;
constexpr unsigned kEtoClipped = 0x0004;
constexpr unsigned kEtoGlyphIndex = 0x0010;
constexpr unsigned kEtoNoRect = 0x0100;
constexpr unsigned kEtoPdy = 0x2000;

// Raster operations of the bitmap records.
constexpr quint32 kSrcCopy = 0x00CC0020;
constexpr quint32 kSrcPaint = 0x00EE0086;
constexpr quint32 kSrcAnd = 0x008800C6;
constexpr quint32 kSrcInvert = 0x00660046;
constexpr quint32 kNotSrcCopy = 0x00330008;
constexpr quint32 kPatCopy = 0x00F00021;
constexpr quint32 kPatInvert = 0x005A0049;
constexpr quint32 kDstInvert = 0x00550009;
constexpr quint32 kBlackness = 0x00000042;
constexpr quint32 kWhiteness = 0x00FF0062;

// Binary raster operations (SetROP2) that pens and brushes draw with.
constexpr int kR2Black = 1;
constexpr int kR2Nop = 11;
constexpr int kR2CopyPen = 13;
constexpr int kR2White = 16;

// How a binary raster operation draws with Qt: not at all (R2_NOP), as a copy in black or
// white, as a plain copy, or through the raster-op composition mode that computes it (XOR,
// NOT, AND, OR and their variants).
struct Rop2 {
    bool draws = true;
    std::optional<QColor> color;
    std::optional<QPainter::CompositionMode> raster;
};
Rop2 Rop2Mode(int rop2);
// The pen or brush in the operation's fixed colour, when it has one.
QPen Rop2Pen(QPen pen, const Rop2& rop);
QBrush Rop2Brush(QBrush brush, const Rop2& rop);
// Sets the painter up for the operation. Raster passes are drawn without anti-aliasing, so that
// two of them cancel exactly, as on a device. A paint engine without raster operations
// (printers, PDF) draws them as copies.
void ApplyRop2(QPainter& painter, const Rop2& rop, bool rasterOps);

// SetBkMode: 1 transparent, 2 opaque; any other value leaves the mode as it was.
inline void SetBkMode(bool& opaque, quint32 mode)
{
    if (mode == kTransparent || mode == kOpaque)
        opaque = mode == kOpaque;
}

// A damaged file may save states without end; beyond this SaveDC is ignored.
constexpr std::size_t kMaxSavedStates = 1024;

// ------------------------------------------------------------------ colours

// A COLORREF (0x00BBGGRR) as an opaque colour; the high byte is not looked at.
inline QRgb ColorRefRgb(quint32 ref)
{
    return qRgb(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}
inline QColor ColorRefColor(quint32 ref) { return QColor(ColorRefRgb(ref)); }

// ------------------------------------------------------------------ the state

// What both formats keep per device context. Colours stay COLORREFs, because WMF resolves
// palette indexes only when it draws.
struct DcState {
    quint32 textColor = 0x000000;
    quint32 bkColor = 0xFFFFFF;
    bool bkOpaque = true;
    quint32 textAlign = 0;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    int mapMode = kMmText;
    QPointF windowOrg;
    QPointF windowExt{1, 1};
    QPointF viewportOrg;
    QPointF viewportExt{1, 1};
    int rop2 = kR2CopyPen;
    QPointF current;              // logical units
    std::optional<QRegion> clip;  // in the player's clip coordinates; none: the whole target
};

// The scale of the isotropic and anisotropic modes: viewport extent over window extent, and
// for the isotropic mode the smaller of the two on both axes, each keeping its sign.
QPointF ExtentScale(int mapMode, const QPointF& windowExt, const QPointF& viewportExt);

// Saved device contexts. SaveDC pushes; RestoreDC takes a state by its number counted from 1,
// or by a negative number counted back from the latest, and drops it and all after it.
template <typename State>
class SavedStates {
public:
    void Save(const State& state)
    {
        if (m_saved.size() < kMaxSavedStates) m_saved.push_back(state);
    }
    // False, leaving state alone, when there is no such saved state.
    bool Restore(qint64 which, State& state)
    {
        const qint64 keep = which < 0 ? qint64(m_saved.size()) + which : which - 1;
        if (keep < 0 || keep >= qint64(m_saved.size())) return false;
        state = m_saved[std::size_t(keep)];
        m_saved.erase(m_saved.begin() + std::ptrdiff_t(keep), m_saved.end());
        return true;
    }
    std::size_t Size() const { return m_saved.size(); }

private:
    std::vector<State> m_saved;
};

// The object table: records create objects into numbered slots and select, use and delete
// them by number. A selected object stays usable after its slot is deleted or reused, as it
// does on a device, so slots hold shared pointers.
template <typename Object>
class ObjectTable {
public:
    using Ptr = std::shared_ptr<const Object>;

    // No slot at or beyond capacity is ever made.
    explicit ObjectTable(std::size_t capacity) : m_capacity(capacity) {}

    // Into the lowest free slot, as WMF numbers its objects; a full table refuses the object.
    void Add(Object object)
    {
        auto made = std::make_shared<const Object>(std::move(object));
        if (!m_free.empty()) {
            m_slots[*m_free.begin()] = std::move(made);
            m_free.erase(m_free.begin());
        } else if (m_slots.size() < m_capacity) {
            m_slots.push_back(std::move(made));
        }
    }
    // Into the slot the record names, as EMF numbers its objects.
    void Put(std::size_t index, Object object)
    {
        if (index >= m_capacity) return;
        for (std::size_t i = m_slots.size(); i < index; ++i) m_free.insert(i);
        if (index >= m_slots.size()) m_slots.resize(index + 1);
        m_free.erase(index);
        m_slots[index] = std::make_shared<const Object>(std::move(object));
    }
    Ptr Get(std::size_t index) const { return index < m_slots.size() ? m_slots[index] : nullptr; }
    void Remove(std::size_t index)
    {
        if (index < m_slots.size() && m_slots[index]) {
            m_slots[index].reset();
            m_free.insert(index);
        }
    }

private:
    std::size_t m_capacity;
    std::vector<Ptr> m_slots;
    std::set<std::size_t> m_free;  // the empty slots below m_slots.size()
};

// ------------------------------------------------------------------ geometry and clipping

// A device coordinate held within limit; what is not a number becomes 0.
double ClampCoord(double v, double limit);
// A rectangle of device coordinates as a rectangle of a region: the far edges are exclusive.
QRect RegionRect(const QRectF& r, double limit);
// The union of many regions, merged pairwise so that the work grows as n log n.
QRegion UniteRegions(std::vector<QRegion> regions);

// Degrees, counterclockwise with y growing downwards, of the point where the ray from the
// centre of rect through p meets the ellipse inscribed in rect: the angle Qt's arcs take.
double EllipseAngle(const QRectF& rect, const QPointF& p);

}  // namespace orm::gdi
