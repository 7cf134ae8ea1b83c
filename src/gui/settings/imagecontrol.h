#pragma once

// The image control of the title splash and the about box.

#include <QWidget>

#include "format/pictureloader.h"

namespace orm {

// An image control: shows its picture stretched to its own size.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    // Takes the picture and fixes the control's size to the image's size.
    void SetImage(const PictureImage& image);
    const PictureImage& Image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PictureImage m_image;
};

}  // namespace orm
