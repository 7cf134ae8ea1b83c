// Long work as the user sees it, on the test's own clock: quick work shows only the busy cursor;
// work past half a second a window-modal dialog whose Cancel stops it; events wait for the
// dialog, then come at intervals; the cursor comes back however the work ends.

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include "gui/kit/busywork.h"
#include "gui/kit/qtprompts.h"

using namespace orm;

namespace {

Qt::CursorShape cursor()  // Qt::CustomCursor for none
{
    const QCursor* c = QApplication::overrideCursor();
    return c ? c->shape() : Qt::CustomCursor;
}

struct Listener : QObject {
    int events = 0;
    bool event(QEvent* e) override
    {
        events += e->type() == QEvent::User;
        return QObject::event(e);
    }
};

}  // namespace

TEST(BusyWork, ADialogOnlyForWorkPastHalfASecondAndItsCancelStopsTheWork)
{
    QWidget window;
    window.show();
    std::int64_t now = 0;
    Listener listener;
    for (const bool slow : {false, true}) {
        BusyWork work(&window, QStringLiteral("Открытие проекта…"), QStringLiteral("Ормелит"),
                      [&now] { return now; });
        EXPECT_EQ(cursor(), Qt::WaitCursor);
        if (slow)
            QCoreApplication::postEvent(&listener, new QEvent(QEvent::User));
        for (int i = 1; i <= 5; ++i, now += (BusyWork::kDialogDelay - 1) / 5)
            EXPECT_TRUE(work.Report(i, 10));
        EXPECT_EQ(work.Dialog(), nullptr);
        EXPECT_EQ(listener.events, 0);  // nothing may reach the window before the dialog
        if (!slow)
            continue;
        now += 5;
        EXPECT_TRUE(work.Report(6, 10));
        QProgressDialog* dialog = work.Dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible() && dialog->parentWidget() == &window);
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
        EXPECT_EQ(dialog->labelText(), QStringLiteral("Открытие проекта…"));
        EXPECT_EQ(dialog->value(), dialog->maximum() * 6 / 10);
        EXPECT_EQ(listener.events, 1);
        EXPECT_EQ(cursor(), Qt::BusyCursor);

        QCoreApplication::postEvent(&listener, new QEvent(QEvent::User));
        now += BusyWork::kEventInterval - 1;
        EXPECT_TRUE(work.Report(7, 10));
        EXPECT_EQ(listener.events, 1);
        auto* cancel = dialog->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
        now += 1;
        EXPECT_FALSE(work.Report(8, 10));
        EXPECT_EQ(listener.events, 2);
        EXPECT_FALSE(work.Report(9, 10));
    }
    EXPECT_EQ(cursor(), Qt::CustomCursor);

    QtPrompts prompts(&window, [] { return QStringLiteral("Ормелит"); }, {});
    EXPECT_FALSE(prompts.RunWork("x", [](const Progress&) { throw WorkCancelled{}; }));
    EXPECT_EQ(cursor(), Qt::CustomCursor);
}
