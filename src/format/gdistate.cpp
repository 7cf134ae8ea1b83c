// The device-context helpers both metafile players share.

#include "format/gdistate.h"

#include <algorithm>
#include <cmath>

namespace orm::gdi {

Rop2 Rop2Mode(int rop2)
{
    Rop2 r;
    switch (rop2) {
        case kR2Black: r.color = QColor(Qt::black); break;
        case kR2White: r.color = QColor(Qt::white); break;
        case kR2Nop: r.draws = false; break;
        case 2: r.raster = QPainter::RasterOp_NotSourceAndNotDestination; break;  // ~(P | D)
        case 3: r.raster = QPainter::RasterOp_NotSourceAndDestination; break;     // ~P & D
        case 4: r.raster = QPainter::RasterOp_NotSource; break;                   // ~P
        case 5: r.raster = QPainter::RasterOp_SourceAndNotDestination; break;     // P & ~D
        case 6: r.raster = QPainter::RasterOp_NotDestination; break;              // ~D
        case 7: r.raster = QPainter::RasterOp_SourceXorDestination; break;        // P ^ D
        case 8: r.raster = QPainter::RasterOp_NotSourceOrNotDestination; break;   // ~(P & D)
        case 9: r.raster = QPainter::RasterOp_SourceAndDestination; break;        // P & D
        case 10: r.raster = QPainter::RasterOp_NotSourceXorDestination; break;    // ~(P ^ D)
        case 12: r.raster = QPainter::RasterOp_NotSourceOrDestination; break;     // ~P | D
        case 14: r.raster = QPainter::RasterOp_SourceOrNotDestination; break;     // P | ~D
        case 15: r.raster = QPainter::RasterOp_SourceOrDestination; break;        // P | D
        default: break;  // R2_COPYPEN, and what is none
    }
    return r;
}

QPen Rop2Pen(QPen pen, const Rop2& rop)
{
    if (!rop.draws) return QPen(Qt::NoPen);
    if (rop.color && pen.style() != Qt::NoPen) pen.setColor(*rop.color);
    return pen;
}

QBrush Rop2Brush(QBrush brush, const Rop2& rop)
{
    if (!rop.draws) return QBrush(Qt::NoBrush);
    if (rop.color && brush.style() != Qt::NoBrush) {
        // A pattern brush becomes the colour; a hatched one keeps its hatch.
        if (brush.style() == Qt::TexturePattern) return QBrush(*rop.color);
        brush.setColor(*rop.color);
    }
    return brush;
}

void ApplyRop2(QPainter& painter, const Rop2& rop, bool rasterOps)
{
    if (!rop.raster || !rasterOps) return;
    painter.setCompositionMode(*rop.raster);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

QPointF ExtentScale(int mapMode, const QPointF& windowExt, const QPointF& viewportExt)
{
    double sx = viewportExt.x() / windowExt.x();
    double sy = viewportExt.y() / windowExt.y();
    if (mapMode == kMmIsotropic) {
        const double s = std::min(std::abs(sx), std::abs(sy));
        sx = std::copysign(s, sx);
        sy = std::copysign(s, sy);
    }
    return {sx, sy};
}

double ClampCoord(double v, double limit)
{
    return std::isfinite(v) ? std::clamp(v, -limit, limit) : 0.0;
}

QRect RegionRect(const QRectF& r, double limit)
{
    const QRectF n = r.normalized();
    auto c = [limit](double v) { return static_cast<int>(std::lround(ClampCoord(v, limit))); };
    return QRect(QPoint(c(n.left()), c(n.top())), QPoint(c(n.right()) - 1, c(n.bottom()) - 1));
}

QRegion UniteRegions(std::vector<QRegion> regions)
{
    if (regions.empty()) return QRegion();
    while (regions.size() > 1) {
        std::size_t out = 0;
        for (std::size_t i = 0; i < regions.size(); i += 2)
            regions[out++] =
                i + 1 < regions.size() ? regions[i].united(regions[i + 1]) : regions[i];
        regions.resize(out);
    }
    return regions.front();
}

double EllipseAngle(const QRectF& rect, const QPointF& p)
{
    const double rx = rect.width() / 2;
    const double ry = rect.height() / 2;
    const QPointF c = rect.center();
    if (rx <= 0 || ry <= 0) return 0;
    return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / M_PI;
}

}  // namespace orm::gdi
