#pragma once

// Enhanced metafiles (EMF) drawn onto a QPainter: the records that drawing programs and Windows
// itself write for pictures (objects, lines and shapes, text, mapping modes and transforms,
// clipping, paths, bitmaps). Records the player does not know are skipped. A damaged file draws
// what it can: every record is bounds-checked and every count and size capped, so no input
// crashes the player or makes it allocate without limit.

#include <QByteArray>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <optional>

class QPainter;

namespace orm {

class EmfPicture {
public:
    // Pictures whose size at 96 dpi exceeds this on either side are refused as damaged.
    static constexpr int kMaxPixels = 32767;

    // Nothing when bytes do not begin with an EMF header whose frame has a usable size.
    static std::optional<EmfPicture> Parse(const QByteArray& bytes);

    // The picture's frame in 0.01 mm: left, top, width, height.
    QRect Frame() const { return m_frame; }
    QSizeF PhysicalSizeMm() const
    {
        return QSizeF(m_frame.width() / 100.0, m_frame.height() / 100.0);
    }
    // The natural size on a device of the given resolution, rounded to whole pixels.
    QSize SizeAtDpi(double dpiX, double dpiY) const;

    // Draws the picture so that its frame fills target, in the painter's current coordinates.
    // Nothing is drawn outside target. The painter's state is restored afterwards.
    void Play(QPainter& painter, const QRectF& target) const;

private:
    QByteArray m_bytes;
    QRect m_frame;
    QRectF m_deviceFrame;  // the frame in pixels of the device the picture was made for
    QSizeF m_pixelsPerMm;  // of that device
};

}  // namespace orm
