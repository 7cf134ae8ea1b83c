#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/settings/appsettings.h"
#include "format/picturefiles.h"
#include "format/textcodec.h"
#include "gui/settings/aboutbox.h"
#include "gui/settings/imagecontrol.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"
#include "version.h"

using namespace orm;
using orm::test::FakePrompts;
using orm::test::TempDir;

namespace {

class About : public ::testing::Test {
protected:
    TempDir dir;
    FakePrompts prompts;
    AppSettings settings;
};

TEST_F(About, ButtonAtThePicturesCornerAndTheVersionOnIt)
{
    AboutBox box(settings, prompts);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(box.Image2->geometry(), QRect(0, 0, 372, 365));
    EXPECT_EQ(box.OKButton->text(), QStringLiteral("Да"));
    EXPECT_EQ(box.OKButton->geometry(), QRect(372 - 75, 365 - 27, 75, 27));
    EXPECT_TRUE(box.OKButton->isDefault());
    EXPECT_EQ(box.ProductName->text(),
              QStringLiteral("Версия: ") + QStringLiteral(ORMELIT_VERSION));
    EXPECT_EQ(box.ProductName->text(), QStringLiteral("Версия: 0.1.0"));
    EXPECT_EQ(box.ProductName->pos(), QPoint(16, 110));
    EXPECT_EQ(box.size(), QSize(372, 365));
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(About, PictureAtItsPercent)
{
    settings.AboutPercent = 50;
    AboutBox half(settings, prompts);
    EXPECT_EQ(half.Image2->size(), QSize(186, 183));
    EXPECT_EQ(half.OKButton->pos(), QPoint(186 - 75, 183 - 27));

    // A picture smaller than the button still leaves the whole button in the box.
    settings.AboutPercent = 100;
    const std::string tinyBmp = test::bmpFile(24, 20, 10, true).toStdString();
    settings.AboutPicture = ToCp1251(QString::fromStdString(dir.write("tiny.bmp", tinyBmp)));
    AboutBox tiny(settings, prompts);
    EXPECT_EQ(tiny.Image2->size(), QSize(20, 10));
    EXPECT_EQ(tiny.OKButton->pos(), QPoint(0, 0));
    EXPECT_TRUE(QRect(QPoint(0, 0), tiny.size()).contains(tiny.OKButton->geometry()));
    EXPECT_TRUE(QRect(QPoint(0, 0), tiny.size()).contains(tiny.ProductName->geometry()));
}

TEST_F(About, EnterAndEscCloseWithOk)
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        AboutBox box(settings, prompts);
        box.open();
        QTest::keyClick(&box, key);
        EXPECT_FALSE(box.isVisible()) << key;
        EXPECT_EQ(box.result(), QDialog::Accepted) << key;
    }

    // Shown modally, the box returns when it is closed.
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
        seen = box != nullptr;
        if (box)
            QTest::keyClick(box, Qt::Key_Escape);
    });
    ShowAbout(settings, prompts);
    EXPECT_TRUE(seen);
}

TEST_F(About, UnknownPictureTypeLeavesAnEmptyPicture)
{
    settings.AboutPicture = ToCp1251(QString::fromStdString(dir.write("about.jpg", "JFIF")));
    AboutBox box(settings, prompts);
    EXPECT_EQ(prompts.informs(),
              (std::vector<std::string>{"Возможен просмотр файлов\nBMP,ICO,WMF,EMF"}));
    EXPECT_TRUE(box.Image2->Image().Picture.IsEmpty());
    EXPECT_EQ(box.OKButton->geometry(), QRect(297, 338, 75, 27));
}

}  // namespace
