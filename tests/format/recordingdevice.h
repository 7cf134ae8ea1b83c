#pragma once

// A paint device that keeps the texts drawn on it (string, font, baseline start in device
// coordinates, transform and clip), so that text placement can be checked exactly instead of
// through pixels.

#include <QFont>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>
#include <QTransform>
#include <vector>

namespace orm::test {

struct DrawnText {
    QString text;
    QFont font;
    QPointF at;  // start of the baseline, device coordinates
    QTransform transform;
    QRectF clip;  // device coordinates; empty when there is no clip
};

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override
    {
        ++images;
    }
    void drawPath(const QPainterPath&) override { ++paths; }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { ++paths; }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        DrawnText t;
        t.text = item.text();
        t.font = item.font();
        t.transform = painter()->worldTransform();
        t.at = t.transform.map(p);
        if (painter()->hasClipping()) t.clip = t.transform.mapRect(painter()->clipBoundingRect());
        texts.push_back(t);
    }
    Type type() const override { return User; }

    std::vector<DrawnText> texts;
    int paths = 0;
    int images = 0;
};

class RecordingDevice : public QPaintDevice {
public:
    RecordingDevice(int width, int height) : m_width(width), m_height(height) {}
    ~RecordingDevice() override = default;
    QPaintEngine* paintEngine() const override { return &engine; }

    mutable RecordingEngine engine;

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
            case PdmWidth:
                return m_width;
            case PdmHeight:
                return m_height;
            case PdmWidthMM:
                return m_width * 254 / 960;
            case PdmHeightMM:
                return m_height * 254 / 960;
            case PdmNumColors:
                return 0x7FFFFFFF;
            case PdmDepth:
                return 32;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 96;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
            default:
                return 0;
        }
    }

private:
    int m_width;
    int m_height;
};

}  // namespace orm::test
