#include "format/pictureloader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>
#include <cmath>
#include <optional>

#include "core/prompts/prompts.h"
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
        const auto bytes = readFile(path);
        if (!bytes)
            return std::nullopt;
        QBuffer buffer;
        buffer.setData(*bytes);
        QImageReader reader(&buffer, "ico");
        reader.setAutoDetectImageFormat(false);
        reader.setDecideFormatFromContent(false);
        if (const int best = BestIconImage(*bytes); best > 0)
            reader.jumpToImage(best);
        const QImage image = reader.read();
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

int BestIconImage(const QByteArray& ico)
{
    auto u16 = [&ico](qsizetype at) {
        return at + 2 <= ico.size() ? qFromLittleEndian<quint16>(ico.constData() + at) : 0;
    };
    auto u32 = [&ico](qsizetype at) {
        return at + 4 <= ico.size() ? qFromLittleEndian<quint32>(ico.constData() + at) : 0u;
    };
    if (u16(0) != 0 || u16(2) != 1)
        return 0;
    const int count = u16(4);
    int best = 0;
    int bestDistance = 0;
    int bestDepth = -1;
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= ico.size(); ++i) {
        const qsizetype entry = 6 + 16 * i;
        const int width = static_cast<uchar>(ico[entry]) ? static_cast<uchar>(ico[entry]) : 256;
        const int height =
            static_cast<uchar>(ico[entry + 1]) ? static_cast<uchar>(ico[entry + 1]) : 256;
        // The depth the image itself declares; the directory's is often left 0.
        const quint32 offset = u32(entry + 12);
        int depth = u16(entry + 6);
        if (offset < quint32(ico.size())) {
            const QByteArray head = ico.mid(offset, 32);
            if (head.startsWith("\x89PNG") && head.size() >= 26) {
                // Bit depth per channel times the channels of the colour type.
                static const int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
                const int type = static_cast<uchar>(head[25]);
                depth = static_cast<uchar>(head[24]) * (type <= 6 ? kChannels[type] : 1);
            } else if (head.size() >= 16) {
                depth = u16(offset + 14);
            }
        }
        const int distance = std::abs(width - 32) + std::abs(height - 32);
        if (bestDepth < 0 || distance < bestDistance ||
            (distance == bestDistance && depth > bestDepth)) {
            best = i;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return best;
}

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
