#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>

#include "core/organigram/wmfwriter.h"
#include "core/text/cp1251.h"
#include "format/emfbuilder.h"
#include "format/picturefiles.h"
#include "format/pictureloader.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"

using namespace orm;
using orm::test::FakePrompts;
using orm::test::TempDir;

namespace {

class PictureLoader : public ::testing::Test {
protected:
    QString write(const std::string& name, const QByteArray& bytes)
    {
        return QString::fromStdString(dir.write(name, bytes.toStdString()));
    }

    bool load(const QString& path, const QString& type = QString(),
              const QString& resource = QString(), int percent = 100)
    {
        image = PictureImage();
        return LoadPictureInto(image, path, type, resource, percent, prompts);
    }

    TempDir dir;
    FakePrompts prompts;
    PictureImage image;
};

TEST_F(PictureLoader, BitmapsOfEveryDepthEitherWayUp)
{
    for (int bits : {1, 4, 8, 24, 32}) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, top-down " << topDown);
            const QString path = write("pattern.bmp", test::bmpFile(bits, 5, 3, topDown));
            ASSERT_TRUE(load(path));
            ASSERT_EQ(image.Size, QSize(5, 3));
            const QImage pixels = image.Picture.Image();
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < 5; ++x) {
                    const QColor want = test::patternColors(bits)[std::size_t(
                        test::patternIndex(bits, x, y))];
                    EXPECT_EQ(pixels.pixelColor(x, y), want) << x << "," << y;
                }
            }
        }
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PictureLoader, IconIsDrawnOnWhite)
{
    ASSERT_TRUE(load(write("app.ico", test::icoFile(16))));
    EXPECT_EQ(image.Size, QSize(16, 16));
    const QImage pixels = image.Picture.Image();
    EXPECT_EQ(pixels.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(pixels.pixelColor(12, 12), QColor(Qt::red));
    EXPECT_EQ(pixels.pixelColor(12, 2), QColor(Qt::red));
}

// The image a standard icon shows: closest to 32 × 32, then the deepest colour.
TEST_F(PictureLoader, IconShowsTheImageClosestTo32ByThe32DeepestFirst)
{
    const QColor a(200, 0, 0), b(0, 200, 0), c(0, 0, 200), d(200, 200, 0);
    struct Case {
        std::vector<test::IconImage> images;
        QSize size;
        QColor color;
    };
    const Case cases[] = {
        {{{16, 32, a}, {32, 4, b}, {32, 8, c}, {48, 32, d}}, {32, 32}, c},
        {{{48, 32, d}, {32, 1, a}, {32, 32, b}, {32, 4, c}}, {32, 32}, b},
        {{{16, 8, a}, {48, 4, b}, {64, 32, c}}, {16, 16}, a},    // 16 is nearer than 48
        {{{24, 4, a}, {40, 8, b}}, {40, 40}, b},                 // as near: the deeper
        {{{32, 8, a}, {32, 8, b}}, {32, 32}, a},                 // all alike: the first
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.size.width());
        ASSERT_TRUE(load(write("many.ico", test::icoFile(k.images))));
        EXPECT_EQ(image.Size, k.size);
        EXPECT_EQ(image.Picture.Image().pixelColor(k.size.width() / 2, k.size.height() / 2),
                  k.color);
    }
}

TEST_F(PictureLoader, MetafilesAreDrawnAtTheirPhysicalSize)
{
    // 50.8 mm × 25.4 mm with a 4 mm black line across the middle: 192 × 96 pixels.
    WmfWriter wmf(508, 254);
    wmf.SetPenWidth(40);
    wmf.DrawLine(0, 127, 508, 127);
    const std::string wmfBytes = wmf.Finish();
    ASSERT_TRUE(load(write("line.wmf", QByteArray::fromStdString(wmfBytes))));
    EXPECT_TRUE(image.Picture.IsMetafile());
    EXPECT_EQ(image.Size, QSize(192, 96));
    QImage drawn = image.Picture.ToImage(QSize(192, 96));
    EXPECT_EQ(drawn.pixelColor(96, 48), QColor(Qt::black));
    EXPECT_EQ(drawn.pixelColor(96, 10), QColor(Qt::white));

    test::EmfBuilder emf(120, 80);
    emf.createBrush(1, 0, test::EmfBuilder::rgb(0, 0, 255)).select(1).rectangle(60, 0, 120, 80);
    ASSERT_TRUE(load(write("half.emf", emf.finish()), QString(), QString(), 50));
    EXPECT_EQ(image.Size, QSize(60, 40));
    drawn = image.Picture.ToImage(image.Size);
    EXPECT_EQ(drawn.pixelColor(45, 20), QColor(Qt::blue));
    EXPECT_EQ(drawn.pixelColor(15, 20), QColor(Qt::white));
}

TEST_F(PictureLoader, TypeComesFromTheExtensionThenTheTypeName)
{
    const QByteArray bmp = test::bmpFile(24, 4, 4, false);
    EXPECT_TRUE(load(write("a.bmpx", bmp)));
    EXPECT_TRUE(load(write("a.dat", bmp), QStringLiteral("bmp")));
    EXPECT_TRUE(load(write("noextension", bmp), QStringLiteral("BMP")));
    EXPECT_TRUE(prompts.shown.empty());

    // Any other type: the message, and no picture. Qt could read a PNG; the rules say no.
    QImage png(4, 4, QImage::Format_RGB32);
    png.fill(Qt::red);
    QByteArray pngBytes;
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    png.save(&buffer, "PNG");
    EXPECT_FALSE(load(write("a.png", pngBytes)));
    EXPECT_FALSE(load(write("b.dat", bmp), QStringLiteral("gif"), QStringLiteral("BMP_TITLE")));
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{
                                     "Возможен просмотр файлов\nBMP,ICO,WMF,EMF",
                                     "Возможен просмотр файлов\nBMP,ICO,WMF,EMF"}));
    EXPECT_TRUE(image.Picture.IsEmpty());
}

TEST_F(PictureLoader, UnreadableFileFailsWithoutMessage)
{
    QImage png(4, 4, QImage::Format_RGB32);
    png.fill(Qt::red);
    const QString renamed = QString::fromStdString(dir.path("renamed.bmp"));
    ASSERT_TRUE(png.save(renamed, "PNG"));
    EXPECT_FALSE(load(renamed, QString(), QStringLiteral("BMP_TITLE")));
    EXPECT_FALSE(load(write("bad.emf", "not a metafile at all")));
    EXPECT_FALSE(load(write("bad.wmf", QByteArray(40, '\x01'))));
    EXPECT_FALSE(load(write("bad.ico", QByteArray(40, '\x01'))));
    QByteArray cut = test::bmpFile(24, 40, 40, false);
    cut.truncate(30);
    EXPECT_FALSE(load(write("cut.bmp", cut)));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PictureLoader, BuiltInBitmapWhenThereIsNoFile)
{
    const QString missing = QString::fromStdString(dir.path("missing.bmp"));
    ASSERT_TRUE(load(missing, QString(), QStringLiteral("BMP_TITLE")));
    EXPECT_EQ(image.Size, QSize(480, 308));
    ASSERT_TRUE(load(QString(), QString(), QStringLiteral("bmp_about")));
    EXPECT_EQ(image.Size, QSize(372, 365));
    // A folder is not a picture file.
    ASSERT_TRUE(load(QString::fromStdString(dir.root().string()), QString(),
                     QStringLiteral("BMP_ABOUT"), 50));
    EXPECT_EQ(image.Size, QSize(186, 183));

    EXPECT_FALSE(load(missing));
    EXPECT_FALSE(load(missing, QString(), QStringLiteral("BMP_OTHER")));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PictureLoader, PercentScalesTheDisplaySize)
{
    const QString path = write("wide.bmp", test::bmpFile(24, 200, 100, false));
    const std::pair<int, QSize> cases[] = {
        {50, QSize(100, 50)}, {33, QSize(66, 33)},   {150, QSize(300, 150)},
        {1, QSize(2, 1)},     {0, QSize(0, 0)},      {-20, QSize(0, 0)},
    };
    for (const auto& [percent, size] : cases) {
        ASSERT_TRUE(load(path, QString(), QString(), percent));
        EXPECT_EQ(image.Size, size) << percent;
        EXPECT_EQ(image.Picture.Size(), QSize(200, 100));
    }
}

}  // namespace
