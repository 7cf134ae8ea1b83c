// The device-context helpers both metafile players share.

#include "format/gdistate.h"

#include <algorithm>
#include <cmath>

namespace orm::gdi {

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
