#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <functional>
#include <memory>

#include "gui/settings/background.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"

using namespace orm;
using orm::test::FakePrompts;
using orm::test::TempDir;

namespace {

const QColor kOwnColour(102, 153, 204);

class Background : public ::testing::Test {
protected:
    void SetUp() override
    {
        area = std::make_unique<QMdiArea>();
        area->setBackground(kOwnColour);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->show();
        setViewportSize(QSize(1000, 600));
    }

    void setViewportSize(const QSize& size)
    {
        area->resize(size);
        QApplication::processEvents();
        const QSize frame = area->size() - area->viewport()->size();
        area->resize(size + frame);
        QApplication::processEvents();
        ASSERT_EQ(area->viewport()->size(), size);
    }

    std::string savePicture(const QImage& image, const std::string& name = "picture.bmp")
    {
        const std::string path = dir.path(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "BMP"));
        return path;
    }

    // 200 × 100: red on the left, blue on the right, a green 10 × 10 top-left corner.
    static QImage twoTone()
    {
        QImage image(200, 100, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.fillRect(0, 0, 100, 100, Qt::red);
        painter.fillRect(100, 0, 100, 100, Qt::blue);
        painter.fillRect(0, 0, 10, 10, Qt::green);
        return image;
    }

    // Every pixel tells where it was: red x, green y (both modulo 256).
    static QImage coordinates(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x % 256, y % 256, 0));
        return image;
    }

    // What the area shows on screen, read back from its window.
    QImage onScreen() const
    {
        QApplication::processEvents();
        const QImage window = area->screen()->grabWindow(area->winId()).toImage();
        const QPoint at = area->viewport()->mapTo(area.get(), QPoint(0, 0));
        return window.copy(QRect(at, area->viewport()->size()));
    }

    TempDir dir;
    FakePrompts prompts;
    std::unique_ptr<QMdiArea> area;
};

TEST_F(Background, PictureIsScaledAndCentredOverTheColour)
{
    const std::string path = savePicture(twoTone());
    TMDIBGBMP* background = SetUpBackground(area.get(), path, "0,128,255", 50, prompts);
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(area->background().color(), QColor(0, 128, 255));
    EXPECT_EQ(background->ScaledPicture().size(), QSize(100, 50));

    QImage shown = onScreen();
    ASSERT_EQ(shown, background->BackBuffer());
    const QColor fill(0, 128, 255);
    EXPECT_EQ(shown.pixelColor(450, 275), QColor(Qt::green));
    EXPECT_EQ(shown.pixelColor(470, 300), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(549, 324), QColor(Qt::blue));
    for (QPoint outside : {QPoint(449, 300), QPoint(550, 300), QPoint(500, 274), QPoint(500, 325),
                           QPoint(0, 0), QPoint(999, 599)})
        EXPECT_EQ(shown.pixelColor(outside), fill) << outside.x() << "," << outside.y();

    // A colour that does not parse: the area keeps its own, the fill is the picture's
    // top-left pixel.
    area->setBackground(kOwnColour);
    ASSERT_NE(SetUpBackground(area.get(), path, "12,34", 50, prompts), nullptr);
    EXPECT_EQ(area->background().color(), kOwnColour);
    shown = onScreen();
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(Qt::green));
    EXPECT_EQ(shown.pixelColor(470, 300), QColor(Qt::red));
}

TEST_F(Background, LargerPictureLosesEqualPartsOnBothSides)
{
    const std::string path = savePicture(coordinates(400, 300));
    setViewportSize(QSize(200, 100));
    TMDIBGBMP* background = SetUpBackground(area.get(), path, "", 100, prompts);
    ASSERT_NE(background, nullptr);
    QImage shown = onScreen();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(100, 100, 0));
    EXPECT_EQ(shown.pixel(199, 99), qRgb(299 % 256, 199, 0));

    // An odd difference: the offset is truncated towards zero, -199 / 2 = -99.
    setViewportSize(QSize(201, 101));
    shown = onScreen();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(99, 99, 0));
}

TEST_F(Background, BufferIsRebuiltOnlyWhenTheSizeChanges)
{
    TMDIBGBMP* background =
        SetUpBackground(area.get(), savePicture(twoTone()), "clNavy", 100, prompts);
    ASSERT_NE(background, nullptr);
    onScreen();
    const int builds = background->BufferBuilds();
    for (int i = 0; i < 3; ++i) {
        area->viewport()->repaint();
        area->viewport()->update(QRect(10, 10, 50, 50));
        onScreen();
    }
    EXPECT_EQ(background->BufferBuilds(), builds);
    setViewportSize(QSize(800, 500));
    onScreen();
    EXPECT_EQ(background->BufferBuilds(), builds + 1);
    EXPECT_EQ(background->BackBuffer().size(), QSize(800, 500));
    EXPECT_EQ(onScreen().pixelColor(350, 250), QColor(Qt::red));
}

TEST_F(Background, PictureStaysPutWhileWindowsMoveAndTheAreaScrolls)
{
    TMDIBGBMP* background =
        SetUpBackground(area.get(), savePicture(coordinates(400, 300)), "", 100, prompts);
    ASSERT_NE(background, nullptr);
    // Bars that come and go would change the area's size, which is not what this is about.
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* child = area->addSubWindow(new QLabel(QStringLiteral("Окно")));
    child->setGeometry(1400, 900, 200, 150);  // beyond the visible part: scroll bars appear
    child->show();
    QApplication::processEvents();
    QScrollBar* bar = area->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const QImage before = onScreen();

    // Each step on its own: Qt moves the pixels already shown when it scrolls, and a second
    // change within the same pass would hide a missing repaint behind a full one.
    const std::function<void()> steps[] = {
        [&] { bar->setValue(bar->value() + 150); },
        [&] { area->verticalScrollBar()->setValue(area->verticalScrollBar()->value() + 120); },
        [&] { child->move(child->pos() - QPoint(700, 600)); },
    };
    for (const auto& step : steps) {
        step();
        const QImage after = onScreen();
        const QRect covered = child->geometry();
        int compared = 0;
        for (int y = 0; y < after.height(); y += 7) {
            for (int x = 0; x < after.width(); x += 7) {
                if (covered.contains(x, y))
                    continue;
                ASSERT_EQ(after.pixel(x, y), background->BackBuffer().pixel(x, y))
                    << x << "," << y;
                ASSERT_EQ(after.pixel(x, y), before.pixel(x, y)) << x << "," << y;
                ++compared;
            }
        }
        EXPECT_GT(compared, 5000);
    }
}

TEST_F(Background, FailuresLeaveNoBackgroundSilently)
{
    const std::string picture = savePicture(twoTone());
    EXPECT_EQ(SetUpBackground(area.get(), dir.path("missing.bmp"), "clNavy", 100, prompts),
              nullptr);
    EXPECT_EQ(area->background().color(), QColor(0, 0, 128));
    EXPECT_EQ(SetUpBackground(area.get(), "", "", 100, prompts), nullptr);
    EXPECT_EQ(SetUpBackground(area.get(), picture, "", 0, prompts), nullptr);
    EXPECT_EQ(SetUpBackground(area.get(), picture, "", -50, prompts), nullptr);
    // Far too large to hold: no background rather than all the memory.
    EXPECT_EQ(SetUpBackground(area.get(), picture, "", 1000000, prompts), nullptr);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(onScreen().pixelColor(500, 300), QColor(0, 0, 128));
    EXPECT_TRUE(area->findChildren<TMDIBGBMP*>().isEmpty());

    // Only a file of an unknown type gets the loader's message.
    const std::string text = dir.write("notes.txt", "text");
    EXPECT_EQ(SetUpBackground(area.get(), text, "", 100, prompts), nullptr);
    EXPECT_EQ(prompts.informs(),
              (std::vector<std::string>{"Возможен просмотр файлов\nBMP,ICO,WMF,EMF"}));
}

TEST_F(Background, SettingUpAgainReplacesTheBackground)
{
    const std::string picture = savePicture(twoTone());
    ASSERT_NE(SetUpBackground(area.get(), picture, "clRed", 100, prompts), nullptr);
    TMDIBGBMP* second = SetUpBackground(area.get(), picture, "clBlue", 100, prompts);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(area->findChildren<TMDIBGBMP*>().size(), 1);
    EXPECT_EQ(onScreen().pixelColor(0, 0), QColor(Qt::blue));

    // Without a background the area paints its own colour again.
    delete second;
    EXPECT_EQ(onScreen().pixelColor(500, 300), QColor(Qt::blue));
    // The area may go first: the background must not touch it then.
    ASSERT_NE(SetUpBackground(area.get(), picture, "", 100, prompts), nullptr);
    area.reset();
}

}  // namespace
