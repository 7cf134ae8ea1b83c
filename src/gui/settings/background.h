#pragma once

// The background picture of the main window's client area: the picture, scaled once, sits
// centred in a back buffer the size of the area, over the configured colour. Every repaint of
// the area copies from that buffer, so the picture stays put while child windows move or the
// area scrolls, and it is redrawn only when the area changes size.

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>

#include "format/pictureloader.h"

class QMdiArea;

namespace orm {

class Prompts;

class TMDIBGBMP : public QObject {
    Q_OBJECT
public:
    // A child of owner; inactive until Activate().
    explicit TMDIBGBMP(QMdiArea* owner);
    ~TMDIBGBMP() override;

    TPicture Picture;
    int Scale = 100;  // percent of the picture's natural size
    // The fill around the picture; without one, the scaled picture's top-left pixel.
    std::optional<QColor> Color;

    // Scales the picture and takes over the painting of the area's background. False, and
    // nothing changed, when the picture is empty or its scaled size is empty or too large.
    bool Activate();
    // Gives the painting back to the area and frees both bitmaps.
    void Deactivate();
    bool IsActive() const { return m_active; }

    // Rebuilds the back buffer when the area's size changed since the last build.
    void PrepareBackBuffer();
    const QImage& ScaledPicture() const { return m_scaled; }
    const QImage& BackBuffer() const { return m_buffer; }
    // How many times the back buffer has been built.
    int BufferBuilds() const { return m_builds; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiArea* m_area;
    // The area's viewport while active; it may be destroyed before this object.
    QPointer<QWidget> m_viewport;
    bool m_active = false;
    QImage m_scaled;
    QImage m_buffer;
    int m_builds = 0;
    QList<QMetaObject::Connection> m_connections;
};

// Sets the area's colour from colorText when it names one, then, when picturePath is not
// empty, shows that picture (Windows-1251 path) at percent as the area's background. Returns
// the background, or nullptr when there is none: any failure leaves none, silently (only a file
// of an unknown type gets the loader's message). A background set up earlier is replaced.
TMDIBGBMP* SetUpBackground(QMdiArea* area, const std::string& picturePath,
                           const std::string& colorText, int percent, Prompts& prompts);

}  // namespace orm
