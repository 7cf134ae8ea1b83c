#include "gui/settings/imagecontrol.h"

#include <QPainter>

namespace orm {

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TImage::SetImage(const PictureImage& image)
{
    m_image = image;
    setFixedSize(image.Size);
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_image.Picture.Draw(painter, QRectF(rect()));
}

}  // namespace orm
