// What is highlighted is what is acted on: clicks into inactive windows land on the row or cell
// under the pointer, and with nothing highlighted nothing is acted on.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include "gui/classifier/classifierwindow.h"
#include "gui/projection/projectionwindow.h"
#include "support/guifixture.h"
#include "support/outlinerows.h"

using namespace orm;

namespace {

class HighlightTest : public test::MainWindowTest {
protected:
    // Directions 1.1 .. 1.6, units 4.1 .. 4.6; grid 1 open below both classifier windows.
    void SetUp() override
    {
        MainWindowTest::SetUp();
        for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
            project().TreeByIndex(1)->AddChild(name);
            project().TreeByIndex(4)->AddChild(name);
        }
        project().SetModified(false);
        QApplication::setActiveWindow(window.get());
        grid = window->OpenProjection(1);
        directions = window->FindClassifierWindow(1);
        QApplication::processEvents();
        ASSERT_NE(grid, nullptr);
        ASSERT_NE(directions, nullptr);
    }

    // A press and a release at pos with the events in between handled, as a real click into
    // a window that the press activates. The pointer stays where it is on the screen: should
    // the widget move meanwhile, the release comes at another place within it.
    static void click(QWidget* viewport, QPoint pos, bool twice = false)
    {
        const QPoint screen = viewport->mapToGlobal(pos);
        QTest::mousePress(viewport, Qt::LeftButton, {}, pos);
        QApplication::processEvents();
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, viewport->mapFromGlobal(screen));
        QApplication::processEvents();
        if (twice) {
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, viewport->mapFromGlobal(screen));
            QApplication::processEvents();
        }
    }

    void activate(QWidget* child)
    {
        window->MdiArea()->setActiveSubWindow(window->SubWindowOf(child));
        QApplication::processEvents();
    }

    QPoint rowCentre(const char* number)
    {
        const QModelIndex row = test::RowNumbered(directions->Outline1, QLatin1String(number));
        return directions->Outline1->visualRect(row).center();
    }

    // The name the rename dialog is opened with: the item Ctrl+Enter acts on.
    std::string renamed()
    {
        if (!directions->ActionMod->isEnabled())
            return "nothing";
        prompts.queueInput(std::nullopt);
        directions->ActionMod->trigger();
        return prompts.shown.back();
    }

    ProjectionWindow* grid = nullptr;
    ClassifierWindow* directions = nullptr;
};

}  // namespace

TEST_F(HighlightTest, AClickIntoAnInactiveOutlineActsOnTheRowUnderThePointer)
{
    QWidget* viewport = directions->Outline1->viewport();
    // Once on a row not yet selected, once on the row already selected: both times with the
    // window inactive, so that the press shows its toolbar.
    for (int round = 0; round < 2; ++round) {
        activate(grid);
        ASSERT_FALSE(directions->ToolBar1->isVisible());
        const QPoint at = rowCentre("1.3");
        const QPoint screen = viewport->mapToGlobal(at);
        click(viewport, at);
        ASSERT_TRUE(directions->ToolBar1->isVisible());
        EXPECT_EQ(directions->Outline1->indexAt(viewport->mapFromGlobal(screen)).data().toString(),
                  QStringLiteral("1.3 c"));
        EXPECT_EQ(directions->CurrentItem(), project().FindByNumber("1.3")) << round;
        const QModelIndexList marked = directions->Outline1->selectionModel()->selectedIndexes();
        ASSERT_EQ(marked.size(), 1);
        EXPECT_EQ(marked.front(), directions->Outline1->currentIndex());
        EXPECT_EQ(renamed(), "input: Изменение | c");
    }
}

TEST_F(HighlightTest, ClearingTheHighlightLeavesNothingToActOn)
{
    QWidget* viewport = directions->Outline1->viewport();
    activate(directions);
    click(viewport, rowCentre("1.2"));
    ASSERT_EQ(directions->CurrentItem(), project().FindByNumber("1.2"));
    // Below the last row.
    click(viewport, QPoint(10, viewport->height() - 3));
    EXPECT_TRUE(directions->Outline1->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(directions->CurrentItem(), nullptr);
    for (QAction* action : {directions->ActionMod, directions->ActionDel, directions->ActionAdd,
                            directions->ActionOrganigram, directions->ActionExpand,
                            directions->ActionUp, directions->ActionDown})
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    QTest::keyClick(directions->Outline1, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(directions->Outline1, Qt::Key_Delete);
    QTest::keyClick(directions->Outline1, Qt::Key_Insert);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(project().Modified());

    // Folding a branch with its highlighted row in it marks the folded row.
    directions->SelectItem(project().FindByNumber("1.4"));
    directions->Outline1->collapse(directions->Outline1->model()->index(0, 0));
    EXPECT_EQ(directions->CurrentItem(), project().TreeByIndex(1));
}

TEST_F(HighlightTest, ADoubleClickIntoAnInactiveGridTogglesTheCellUnderThePointer)
{
    QTableView* cells = grid->StringGrid1;
    for (int round = 0; round < 2; ++round) {
        activate(directions);
        ASSERT_FALSE(grid->ToolBar1->isVisible());
        const QModelIndex target = grid->Model()->index(3, 2 + round);
        const QPoint at = cells->visualRect(target).center();
        click(cells->viewport(), at, true);
        EXPECT_EQ(cells->currentIndex(), target) << round;
        EXPECT_TRUE(grid->Model()->IsBound(3, 2 + round)) << round;
        const QModelIndexList marked = cells->selectionModel()->selectedIndexes();
        ASSERT_EQ(marked.size(), 1);
        EXPECT_EQ(marked.front(), target);
    }
    EXPECT_EQ(project().FindByNumber("4.4")->Links().size(), 2u);

    // Space acts on the highlighted cell only, and on none without one.
    cells->selectionModel()->clearSelection();
    EXPECT_FALSE(cells->currentIndex().isValid());
    EXPECT_FALSE(grid->ActionBind->isEnabled());
    grid->ActionBind->trigger();
    EXPECT_EQ(project().FindByNumber("4.4")->Links().size(), 2u);
}
