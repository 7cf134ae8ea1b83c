#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "core/settings/appsettings.h"
#include "format/picturefiles.h"
#include "format/textcodec.h"
#include "gui/settings/imagecontrol.h"
#include "gui/settings/splash.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"

using namespace orm;
using orm::test::FakePrompts;
using orm::test::TempDir;

namespace {

class Splash : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<TViewForm*>(w))
                w->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Lets the event loop delete windows that closed.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    static void mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint global)
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }

    TempDir dir;
    FakePrompts prompts;
    AppSettings settings;
};

TEST_F(Splash, BuiltInPictureOnTopCentredWithoutFrame)
{
    QPointer<TViewForm> form = ShowTitle(settings, prompts);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    EXPECT_EQ(form->size(), QSize(480, 308));
    EXPECT_EQ(form->Image1->Image().Size, QSize(480, 308));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    const QPoint centre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->geometry().center() - centre).manhattanLength(), 2);
    EXPECT_EQ(form->Timer1->interval(), 10000);  // the default time
    EXPECT_TRUE(form->Timer1->isActive());
}

TEST_F(Splash, TimeIsCappedAtOneMinuteAndAKeyOrTheTimerClosesIt)
{
    settings.TitleTime = 0;
    EXPECT_EQ(ShowTitle(settings, prompts), nullptr);
    settings.TitleTime = 90;
    QPointer<TViewForm> form = ShowTitle(settings, prompts);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->Timer1->interval(), 60000);
    QTest::keyClick(form, Qt::Key_Space);
    settle();
    EXPECT_FALSE(form);

    // Shown directly with no time, the splash waits for a key.
    form = ShowPictureWindow(QString(), QString(), 0, 100, QStringLiteral("BMP_TITLE"), prompts);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->Timer1->isActive());

    form = ShowPictureWindow(QString(), QString(), 1, 100, QStringLiteral("BMP_TITLE"), prompts);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->Timer1->interval(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(!form, 3000);
}

TEST_F(Splash, AClickClosesItAndAModalDialogIsNeverBehindIt)
{
    // Any button closes it, without a move.
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        QPointer<TViewForm> form = ShowTitle(settings, prompts);
        ASSERT_TRUE(form);
        const QPoint start = form->pos();
        const QPoint grab = form->mapToGlobal(QPoint(40, 30));
        mouse(form, QEvent::MouseButtonPress, button, grab);
        if (form) {
            mouse(form, QEvent::MouseMove, button, grab + QPoint(50, 20));
            EXPECT_EQ(form->pos(), start);
        }
        settle();
        EXPECT_FALSE(form);
    }

    // A modal dialog makes it give way; a plain window does not.
    QPointer<TViewForm> form = ShowTitle(settings, prompts);
    ASSERT_TRUE(form);
    QWidget plain;
    plain.show();
    settle();
    EXPECT_TRUE(form && form->isVisible());
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QApplication::processEvents();
    settle();
    EXPECT_FALSE(form);
}

TEST_F(Splash, ConfiguredPictureAtItsPercent)
{
    settings.TitlePicture = ToCp1251(QString::fromStdString(
        dir.write("титул.bmp", test::bmpFile(24, 200, 100, false).toStdString())));
    settings.TitlePercent = 50;
    TViewForm* form = ShowTitle(settings, prompts);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->size(), QSize(100, 50));

    // A missing file falls back to the built-in picture.
    settings.TitlePicture = ToCp1251(QString::fromStdString(dir.path("missing.bmp")));
    form = ShowTitle(settings, prompts);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->size(), QSize(240, 154));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(Splash, NothingToShowShowsNothing)
{
    settings.TitlePicture = ToCp1251(QString::fromStdString(dir.write("title.gif", "GIF89a")));
    EXPECT_EQ(ShowTitle(settings, prompts), nullptr);
    EXPECT_EQ(prompts.informs(),
              (std::vector<std::string>{"Возможен просмотр файлов\nBMP,ICO,WMF,EMF"}));

    settings.TitlePicture.clear();
    settings.TitlePercent = 0;
    EXPECT_EQ(ShowTitle(settings, prompts), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<TViewForm*>(w) && w->isVisible());
}

}  // namespace
