#include "gui/settings/background.h"

#include <QEvent>
#include <QMdiArea>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

#include "core/settings/parsecolor.h"
#include "format/textcodec.h"

namespace orm {

TMDIBGBMP::TMDIBGBMP(QMdiArea* owner) : QObject(owner), m_area(owner)
{
    setObjectName(QStringLiteral("TMDIBGBMP"));
}

TMDIBGBMP::~TMDIBGBMP()
{
    Deactivate();
}

bool TMDIBGBMP::Activate()
{
    if (m_active)
        return true;
    if (!m_area || Picture.IsEmpty())
        return false;
    const QSize natural = Picture.Size();
    const QSize size(int(std::lround(double(natural.width()) * Scale / 100.0)),
                     int(std::lround(double(natural.height()) * Scale / 100.0)));
    if (Scale <= 0 || size.isEmpty())
        return false;
    // ToImage refuses sizes beyond its limit: an absurd percent gives no background rather
    // than exhausting memory.
    m_scaled = Picture.ToImage(size);
    if (m_scaled.isNull())
        return false;
    m_active = true;
    m_viewport = m_area->viewport();
    m_buffer = QImage();
    PrepareBackBuffer();

    QWidget* viewport = m_viewport;
    viewport->installEventFilter(this);
    // Scrolling shifts the area's pixels, background included; repaint it all so the picture
    // stays where it is.
    for (QScrollBar* bar : {m_area->horizontalScrollBar(), m_area->verticalScrollBar()}) {
        m_connections << connect(bar, &QScrollBar::valueChanged, viewport,
                                 qOverload<>(&QWidget::update));
    }
    viewport->update();
    return true;
}

void TMDIBGBMP::Deactivate()
{
    if (!m_active)
        return;
    m_active = false;
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    if (m_viewport) {
        m_viewport->removeEventFilter(this);
        m_viewport->update();
    }
    m_viewport = nullptr;
    m_scaled = QImage();
    m_buffer = QImage();
}

void TMDIBGBMP::PrepareBackBuffer()
{
    if (!m_active || !m_viewport)
        return;
    const QSize size = m_viewport->size();
    if (!m_buffer.isNull() && m_buffer.size() == size)
        return;
    ++m_builds;
    if (size.isEmpty()) {
        m_buffer = QImage();
        return;
    }
    m_buffer = QImage(size, QImage::Format_RGB32);
    if (m_buffer.isNull())
        return;
    m_buffer.fill(Color ? *Color : QColor(m_scaled.pixel(0, 0)));
    // Centred; a picture larger than the area loses equal parts on both sides.
    const int x = (size.width() - m_scaled.width()) / 2;
    const int y = (size.height() - m_scaled.height()) / 2;
    QPainter painter(&m_buffer);
    painter.drawImage(x, y, m_scaled);
}

bool TMDIBGBMP::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_active || !m_viewport || watched != m_viewport)
        return false;
    if (event->type() == QEvent::Paint) {
        PrepareBackBuffer();
        if (m_buffer.isNull())
            return false;
        QPainter painter(m_viewport);
        for (const QRect& rect : static_cast<QPaintEvent*>(event)->region())
            painter.drawImage(rect.topLeft(), m_buffer, rect);
        return true;  // the area's own background fill is not wanted
    }
    if (event->type() == QEvent::Resize)
        m_viewport->update();
    return false;
}

TMDIBGBMP* SetUpBackground(QMdiArea* area, const std::string& picturePath,
                           const std::string& colorText, int percent, Prompts& prompts)
{
    if (!area)
        return nullptr;
    const std::optional<RgbColor> rgb = ParseColor(colorText);
    std::optional<QColor> color;
    if (rgb) {
        color = QColor(rgb->Red, rgb->Green, rgb->Blue);
        area->setBackground(*color);
    }
    for (TMDIBGBMP* old : area->findChildren<TMDIBGBMP*>(QString(), Qt::FindDirectChildrenOnly))
        delete old;
    if (picturePath.empty())
        return nullptr;

    auto* background = new TMDIBGBMP(area);
    PictureImage scratch;
    if (!LoadPictureInto(scratch, FromCp1251(picturePath), QString(), QString(), 100, prompts)) {
        delete background;
        return nullptr;
    }
    background->Picture = scratch.Picture;
    background->Color = color;
    background->Scale = percent;
    if (!background->Activate()) {
        delete background;
        return nullptr;
    }
    return background;
}

}  // namespace orm
