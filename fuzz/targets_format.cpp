// The fuzz targets of the formats: RTF reader, WMF and EMF players, picture loader.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include "format/emfplayer.h"
#include "format/pictureloader.h"
#include "format/rtfreader.h"
#include "format/rtfwriter.h"
#include "format/wmfplayer.h"
#include "fuzz/fuzztargets.h"
#include "support/decliningprompts.h"

namespace orm::fuzz {

namespace {

// Large enough for every record kind to have room to draw, small enough to stay fast.
constexpr int kImageSide = 96;

QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    // A copy: the players may keep the bytes beyond the call.
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

QImage canvas()
{
    QImage image(kImageSide, kImageSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// The text without its empty paragraphs: a damaged table may come back with another number of
// empty cells (its grid is made again from the cell edges), but no text may go, change or move.
QString textOf(const QTextDocument& document)
{
    const QStringList lines = document.toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

void Rtf(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    QTextDocument document;
    if (!ReadRtf(bytes, document))
        return;
    const QString text = textOf(document);
    // What our writer makes of it reads back to the same text.
    const std::string written = WriteRtf(document);
    QTextDocument again;
    Check(ReadRtf(written, again), "rtf: our own output is not RTF");
    Check(textOf(again) == text, "rtf: written and read again, the text differs");
    WritePlainText(document);
}

void Wmf(const std::uint8_t* data, std::size_t size)
{
    const auto picture = WmfPicture::Parse(bytesOf(data, size));
    if (!picture)
        return;
    picture->SizeAtDpi(96, 96);
    picture->PlaceableBytes();
    QImage image = canvas();
    QPainter painter(&image);
    picture->Play(painter, QRectF(4, 4, kImageSide - 8, kImageSide - 8));
    // A part of the picture, as a repaint of an exposed strip draws it.
    picture->Play(painter, QRectF(0, 0, kImageSide, kImageSide), QRectF(0, 0, 16, kImageSide));
}

void Emf(const std::uint8_t* data, std::size_t size)
{
    const auto picture = EmfPicture::Parse(bytesOf(data, size));
    if (!picture)
        return;
    picture->SizeAtDpi(96, 96);
    QImage image = canvas();
    QPainter painter(&image);
    picture->Play(painter, QRectF(4, 4, kImageSide - 8, kImageSide - 8));
}

void Picture(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return;
    // The loader reads files: the input goes to one in the private folder.
    const QString folder = QString::fromStdString(WorkFolder());
    const QString path =
        folder + (data[0] & 1 ? QStringLiteral("/p.ico") : QStringLiteral("/p.bmp"));
    {
        QFile file(path);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate),
              "picture: cannot write the work file");
        file.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    }
    test::DecliningPrompts prompts;  // the picture loader only ever informs
    PictureImage image;
    if (LoadPictureInto(image, path, QString(), QString(), 100, prompts)) {
        const QSize bounded = image.Size.boundedTo(QSize(kImageSide, kImageSide));
        image.Picture.ToImage(bounded);
    }
    QFile::remove(path);
}

}  // namespace orm::fuzz
