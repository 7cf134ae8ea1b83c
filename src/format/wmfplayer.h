#pragma once

// Windows metafiles (placeable or plain) drawn onto a QPainter. The organigram on screen, at
// every zoom step, on paper and as loaded from a file is drawn through this one player, so all
// of them look alike.
//
// The player maps the picture's frame onto the target rectangle and then follows the records as
// a device context would: object table, mapping, clipping, saved states. Records it does not
// know are skipped. A damaged file draws what can be drawn: every record is checked against the
// bytes it has, and no count or size read from the file allocates more than the file could
// describe.

#include <QByteArray>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <optional>

class QPainter;

namespace orm {

class WmfPicture {
public:
    // Units per inch assumed for a plain metafile, which does not say: screen pixels; except
    // that a picture whose longer side exceeds kPlainMaxPixels units is taken at the units per
    // inch that make that side kPlainMaxPixels pixels at 96 dpi. Such extents come from
    // programs that record in hundredths of a millimetre or the like (16000 × 10000 is common):
    // taken as pixels, they would cover many screens.
    static constexpr int kPlainUnitsPerInch = 96;
    static constexpr int kPlainMaxPixels = 1024;
    // Files larger than this are not read at all.
    static constexpr qsizetype kMaxFileBytes = 256 * 1024 * 1024;

    // Nothing when bytes are not a Windows metafile or the picture has no extent.
    static std::optional<WmfPicture> Parse(const QByteArray& bytes);

    bool IsPlaceable() const { return m_placeable; }
    int UnitsPerInch() const { return m_unitsPerInch; }
    // The picture's frame in its own logical units: the placeable bounding box, else the
    // window the records set up, else what they draw.
    QRectF Bounds() const { return m_bounds; }
    QSizeF PhysicalSizeMm() const;
    // The natural size on a device of the given resolution, rounded to whole pixels.
    QSize SizeAtDpi(double dpiX, double dpiY) const;

    // The picture as a placeable metafile: a fresh placeable header (checksum included) before
    // the records as they were read. For a placeable file that is the file itself.
    QByteArray PlaceableBytes() const;

    // Draws the picture stretched into target, in the painter's current coordinates. Nothing is
    // drawn outside target. exposed, when given, is the part being repainted: what lies wholly
    // outside it is passed over. The painter's state is restored afterwards.
    void Play(QPainter& painter, const QRectF& target, const QRectF& exposed = QRectF()) const;

private:
    friend class WmfPlayer;

    QByteArray m_body;  // the metafile header and the records
    bool m_placeable = false;
    int m_unitsPerInch = kPlainUnitsPerInch;
    QRectF m_bounds;
    // The logical window the player starts with, and the device frame it maps to the target.
    QPointF m_windowOrg;
    QPointF m_windowExt{1, 1};
    QRectF m_frame;
};

}  // namespace orm
