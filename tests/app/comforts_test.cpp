// Finding items, and the keys a user of an editor expects: F2, Ctrl+Tab, Ctrl+F6.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>

#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/findbar.h"
#include "gui/projection/projectionwindow.h"
#include "support/guifixture.h"

using namespace orm;

namespace {

class ComfortsTest : public test::MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        TTreeList* t1 = project().TreeByIndex(1);
        t1->AddChild(ToCp1251("Розница"))->AddChild(ToCp1251("Оптовый склад"));
        t1->AddChild(ToCp1251("ОПТ"));
        project().TreeByIndex(2)->AddChild(ToCp1251("Закупки"));
        project().TreeByIndex(4)->AddChild(ToCp1251("Отдел опта"));
        project().SetModified(false);
    }
    TTreeList* item(const char* number) { return project().FindByNumber(number); }
};

}  // namespace

TEST_F(ComfortsTest, FindGoesThroughTheMatchesOfEveryClassifierAndBack)
{
    FindBar* bar = window->Finder();
    EXPECT_FALSE(bar->isVisible());
    window->EditFind1->trigger();
    ASSERT_TRUE(bar->isVisible());
    // Part of a name, letter case ignored, Cyrillic as Latin.
    bar->Edit->setText(QStringLiteral("опт"));
    QTest::keyClick(bar->Edit, Qt::Key_Return);
    ClassifierWindow* directions = window->FindClassifierWindow(1);
    ASSERT_NE(directions, nullptr);  // opened for the match
    EXPECT_EQ(directions->CurrentItem(), item("1.1.1"));
    window->FindNext1->trigger();
    EXPECT_EQ(directions->CurrentItem(), item("1.2"));
    window->FindNext1->trigger();
    ClassifierWindow* units = window->FindClassifierWindow(4);
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units->CurrentItem(), item("4.1"));
    window->FindNext1->trigger();  // round to the first again
    EXPECT_EQ(window->FindClassifierWindow(1)->CurrentItem(), item("1.1.1"));
    window->FindPrevious1->trigger();
    EXPECT_EQ(units->CurrentItem(), item("4.1"));

    // Numbers match too; the active classifier only, when asked.
    bar->Edit->setText(QStringLiteral("1.2"));
    bar->Scope->setCurrentIndex(1);
    window->MdiArea()->setActiveSubWindow(window->SubWindowOf(units));
    EXPECT_FALSE(bar->FindNext());
    EXPECT_EQ(bar->Status->text(), QStringLiteral("Не найдено"));
    bar->Scope->setCurrentIndex(0);
    EXPECT_TRUE(bar->FindNext());
    EXPECT_EQ(window->FindClassifierWindow(1)->CurrentItem(), item("1.2"));
    EXPECT_TRUE(bar->Status->text().isEmpty());

    // An open grid follows the match.
    ProjectionWindow* grid = window->OpenProjection(1);
    ASSERT_NE(grid, nullptr);
    bar->Edit->setText(QStringLiteral("розн"));
    EXPECT_TRUE(bar->FindNext());
    EXPECT_EQ(grid->Model()->ColumnItem(grid->StringGrid1->currentIndex().column()), item("1.1"));
    QTest::keyClick(bar->Edit, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(ComfortsTest, F2RenamesCtrlTabAndCtrlF6SwitchWindows)
{
    ClassifierWindow* directions = window->OpenClassifier(1);
    directions->SelectItem(item("1.2"));
    directions->Outline1->setFocus();
    prompts.queueInput("Опт");
    QTest::keyClick(directions->Outline1, Qt::Key_F2);
    EXPECT_EQ(ToUtf8(item("1.2")->Name()), "Опт");

    window->OpenClassifier(2);
    window->OpenClassifier(4);
    const auto subs = window->MdiArea()->subWindowList(QMdiArea::ActivationHistoryOrder);
    QMdiSubWindow* before = window->MdiArea()->activeSubWindow();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                    Qt::Key_Tab, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_NE(window->MdiArea()->activeSubWindow(), before);
    EXPECT_EQ(subs.size(), 3);
    before = window->MdiArea()->activeSubWindow();
    QTest::keyClick(window.get(), Qt::Key_F6, Qt::ControlModifier);
    EXPECT_NE(window->MdiArea()->activeSubWindow(), before);
}

TEST_F(ComfortsTest, WindowsTheProgramOpensLieWhollyInTheWorkspace)
{
    for (int i = 0; i < 40; ++i)
        project().TreeByIndex(4)->AddChild("u");
    window->resize(700, 450);
    QApplication::processEvents();
    QMdiArea* area = window->MdiArea();
    const auto inView = [area](QMdiSubWindow* sub) {
        return area->viewport()->rect().contains(sub->geometry());
    };
    // Every window the area places, however many, and one pushed out and opened again.
    for (int k = 1; k <= 4; ++k)
        EXPECT_TRUE(inView(window->SubWindowOf(window->OpenClassifier(k)))) << k;
    QMdiSubWindow* second = window->SubWindowOf(window->FindClassifierWindow(2));
    second->setGeometry(area->width() - 60, area->height() - 40, 900, 600);
    window->OpenClassifier(2);
    EXPECT_TRUE(inView(second));

    // The find bar takes room from the area: the tiled windows move up, and the grid's current
    // cell stays in sight.
    ProjectionWindow* grid = window->OpenProjection(1);
    ASSERT_NE(grid, nullptr);
    grid->StringGrid1->setCurrentIndex(grid->Model()->index(grid->Model()->rowCount() - 1, 0));
    window->EditFind1->trigger();
    QApplication::processEvents();
    for (QMdiSubWindow* sub : area->subWindowList())
        EXPECT_TRUE(inView(sub)) << sub->windowTitle().toStdString();
    QTableView* cells = grid->StringGrid1;
    EXPECT_TRUE(cells->viewport()->rect().contains(cells->visualRect(cells->currentIndex())));
}
