#include "format/pictureloader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <optional>

#include "core/model/prompts.h"
#include "core/settings/picturetype.h"
#include "format/emfplayer.h"
#include "format/textcodec.h"
#include "format/wmfplayer.h"

// The built-in pictures live in this static library, so they must be asked for once.
static void initPictureResources()
{
    Q_INIT_RESOURCE(pictures);
}

namespace orm {

namespace {

constexpr qint64 kMaxMetafileBytes = 256 * 1024 * 1024;
constexpr int kMaxDisplaySide = 0xFFFFFF;  // Qt's largest widget side

// Reads an image strictly as the named format: a PNG renamed to .bmp is not a bitmap.
QImage readImage(const QString& path, const char* format)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    return reader.read();
}

// An icon is drawn onto a new bitmap of its size, so its transparent parts become white.
QImage onWhite(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return image;
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    return out;
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxMetafileBytes)
        return std::nullopt;
    return file.readAll();
}

std::optional<TPicture> loadFile(const QString& path, PictureType type)
{
    switch (type) {
    case PictureType::Bmp: {
        const QImage image = readImage(path, "bmp");
        return image.isNull() ? std::nullopt : std::optional(TPicture::FromImage(image));
    }
    case PictureType::Ico: {
        const QImage image = readImage(path, "ico");
        return image.isNull() ? std::nullopt : std::optional(TPicture::FromImage(onWhite(image)));
    }
    case PictureType::Wmf: {
        const auto bytes = readFile(path);
        const auto wmf = bytes ? WmfPicture::Parse(*bytes) : std::nullopt;
        return wmf ? std::optional(TPicture::FromWmf(*wmf)) : std::nullopt;
    }
    case PictureType::Emf: {
        const auto bytes = readFile(path);
        const auto emf = bytes ? EmfPicture::Parse(*bytes) : std::nullopt;
        return emf ? std::optional(TPicture::FromEmf(*emf)) : std::nullopt;
    }
    case PictureType::Unknown:
        break;
    }
    return std::nullopt;
}

int scaled(int side, int percent)
{
    const double value = std::round(double(side) * percent / 100.0);
    return int(std::clamp(value, 0.0, double(kMaxDisplaySide)));
}

}  // namespace

TPicture TPicture::FromImage(const QImage& image)
{
    TPicture picture;
    picture.m_image = image;
    picture.m_size = image.size();
    return picture;
}

TPicture TPicture::FromWmf(const WmfPicture& wmf)
{
    TPicture picture;
    picture.m_wmf = std::make_shared<const WmfPicture>(wmf);
    picture.m_size = wmf.SizeAtDpi(96, 96);
    return picture;
}

TPicture TPicture::FromEmf(const EmfPicture& emf)
{
    TPicture picture;
    picture.m_emf = std::make_shared<const EmfPicture>(emf);
    picture.m_size = emf.SizeAtDpi(96, 96);
    return picture;
}

void TPicture::Draw(QPainter& painter, const QRectF& target) const
{
    if (IsEmpty() || target.isEmpty())
        return;
    if (m_wmf) {
        m_wmf->Play(painter, target);
    } else if (m_emf) {
        m_emf->Play(painter, target);
    } else {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != QSizeF(m_size));
        painter.drawImage(target, m_image);
        painter.restore();
    }
}

QImage TPicture::ToImage(const QSize& size, const QColor& background) const
{
    if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxImagePixels)
        return {};
    if (!IsMetafile() && size == m_size && !m_image.hasAlphaChannel())
        return m_image.convertToFormat(QImage::Format_RGB32);
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull())
        return {};
    out.fill(background);
    QPainter painter(&out);
    Draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return out;
}

std::optional<TPicture> ReadPictureFile(const QString& path)
{
    const PictureType named = PictureTypeOf(ToCp1251(path));
    if (named != PictureType::Unknown) {
        if (auto picture = loadFile(path, named))
            return picture;
    }
    for (PictureType type : {PictureType::Wmf, PictureType::Emf, PictureType::Bmp,
                             PictureType::Ico}) {
        if (type == named)
            continue;
        if (auto picture = loadFile(path, type))
            return picture;
    }
    return std::nullopt;
}

QString BuiltInPicturePath(const QString& resourceName)
{
    // Resource names, as on Windows, do not depend on letter case.
    if (resourceName.compare(QLatin1String("BMP_TITLE"), Qt::CaseInsensitive) == 0)
        return QStringLiteral(":/bitmaps/title.png");
    if (resourceName.compare(QLatin1String("BMP_ABOUT"), Qt::CaseInsensitive) == 0)
        return QStringLiteral(":/bitmaps/about.png");
    return QString();
}

bool LoadPictureInto(PictureImage& image, const QString& path, const QString& typeName,
                     const QString& resourceName, int percent, Prompts& prompts)
{
    std::optional<TPicture> picture;
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        const PictureType type = PictureTypeOf(ToCp1251(path), ToCp1251(typeName));
        if (type == PictureType::Unknown) {
            prompts.Inform(ToCp1251(QString::fromUtf8(kPictureTypesMessage)),
                           ToCp1251(QString::fromUtf8(kPictureTypesCaption)));
            return false;
        }
        picture = loadFile(path, type);
    } else if (!resourceName.isEmpty()) {
        static const bool registered = (initPictureResources(), true);
        (void)registered;
        const QString builtIn = BuiltInPicturePath(resourceName);
        if (!builtIn.isEmpty()) {
            const QImage bitmap(builtIn);
            if (!bitmap.isNull())
                picture = TPicture::FromImage(bitmap);
        }
    }
    if (!picture)
        return false;
    image.Picture = *picture;
    image.Size = QSize(scaled(picture->Size().width(), percent),
                       scaled(picture->Size().height(), percent));
    return true;
}

}  // namespace orm
