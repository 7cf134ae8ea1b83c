#pragma once

// Pictures for the background, the title splash and the about box: bitmaps, icons and
// metafiles, read by one loader that judges a file's type from its name, with the program's
// built-in bitmaps as the fallback.

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>

class QPainter;

namespace orm {

class EmfPicture;
class Prompts;
class WmfPicture;

// A raster image or a metafile, with its natural size in pixels at 96 dpi. Copies are cheap.
class TPicture {
public:
    TPicture() = default;
    static TPicture FromImage(const QImage& image);
    static TPicture FromWmf(const WmfPicture& wmf);
    static TPicture FromEmf(const EmfPicture& emf);

    // No picture, or one without width or height.
    bool IsEmpty() const { return m_size.isEmpty(); }
    bool IsMetafile() const { return m_wmf || m_emf; }
    QSize Size() const { return m_size; }
    // The raster image; null for a metafile.
    const QImage& Image() const { return m_image; }

    // Draws the picture stretched into target.
    void Draw(QPainter& painter, const QRectF& target) const;
    // The picture stretched to size, over background. Null when size is empty or larger than
    // kMaxImagePixels.
    QImage ToImage(const QSize& size, const QColor& background = Qt::white) const;

    static constexpr qint64 kMaxImagePixels = 64LL * 1024 * 1024;

private:
    QImage m_image;
    std::shared_ptr<const WmfPicture> m_wmf;
    std::shared_ptr<const EmfPicture> m_emf;
    QSize m_size;
};

// What an image control shows: a picture, stretched to the control's size.
struct PictureImage {
    TPicture Picture;
    QSize Size;
};

// The message shown for a picture file of another type (UTF-8).
inline constexpr const char* kPictureTypesMessage = "Возможен просмотр файлов\nBMP,ICO,WMF,EMF";
inline constexpr const char* kPictureTypesCaption = "Просмотр изображений";

// Loads a picture into image. When a file exists at path, its type comes from its extension
// (the first three characters after the dot) or else from typeName: BMP, ICO, WMF or EMF; any
// other type shows kPictureTypesMessage and fails, and so does a file that cannot be read as its
// type. Without a file, the built-in bitmap named resourceName ("BMP_TITLE", "BMP_ABOUT") is
// taken when one is named. On success image.Size becomes the picture's size × percent / 100,
// rounded (never negative).
bool LoadPictureInto(PictureImage& image, const QString& path, const QString& typeName,
                     const QString& resourceName, int percent, Prompts& prompts);

// A picture file of any kind the loader reads, without a message: the kind its name gives first,
// then each kind by content. Nothing when no kind reads it.
std::optional<TPicture> ReadPictureFile(const QString& path);

// The image of an ICO file that is shown, numbered from 0: the one closest to 32 × 32 (the
// size of a standard icon), of those the one of the deepest colour, of those the first. 0 for
// what is no icon directory.
int BestIconImage(const QByteArray& ico);

// The bundled file of a built-in bitmap, or an empty string for an unknown name.
QString BuiltInPicturePath(const QString& resourceName);

}  // namespace orm
