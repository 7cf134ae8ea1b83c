// What is selected after an edit while grids are open: the classifier window keeps the item the
// edit is about, and the grids' current cells follow it, never the other way round.

#include <QTableView>
#include <QTest>

#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/dragdrop.h"
#include "gui/projection/projectionwindow.h"
#include "support/guifixture.h"
#include "support/tempdir.h"

using namespace orm;

namespace {

class EditSelectionTest : public test::MainWindowTest, public ::testing::WithParamInterface<int> {
protected:
    // Directions 1.1 (1.1.1, 1.1.2), 1.2, 1.3 (1.3.1, 1.3.2); process 2.1; units 4.1 (4.1.1),
    // 4.2, 4.3. Grid 1 (directions // units) is open, grid 2 (processes // units) too when the
    // parameter asks for two grids.
    void SetUp() override
    {
        MainWindowTest::SetUp();
        TTreeList* t1 = project().TreeByIndex(1);
        d1 = t1->AddChild("d1");
        d1->AddChild("d11");
        d1->AddChild("d12");
        d2 = t1->AddChild("d2");
        d3 = t1->AddChild("d3");
        d3->AddChild("d31");
        d3->AddChild("d32");
        project().TreeByIndex(2)->AddChild("p1");
        TTreeList* t4 = project().TreeByIndex(4);
        u1 = t4->AddChild("u1");
        u1->AddChild("u11");
        u2 = t4->AddChild("u2");
        u3 = t4->AddChild("u3");
        u3->Link(d3);
        project().SetModified(false);
        grids.push_back(window->OpenProjection(1));
        if (GetParam() == 2)
            grids.push_back(window->OpenProjection(2));
        directions = window->FindClassifierWindow(1);
        units = window->FindClassifierWindow(4);
        directions->Outline1->expandAll();
        units->Outline1->expandAll();
    }

    // Picks item in its classifier window as the user would; the grids follow.
    void pick(ClassifierWindow* w, TTreeList* item)
    {
        w->Outline1->setCurrentIndex(Outline::RowOf(w->Outline1, item));
    }

    // The selection is item in its classifier window, and every grid's current cell is on it
    // (its column in grid 1, its row in every grid), with the other side on the other window's
    // selection.
    void expectSelected(TTreeList* direction, TTreeList* unit)
    {
        EXPECT_EQ(directions->CurrentItem(), direction)
            << (directions->CurrentItem() ? directions->CurrentItem()->Number() : "none");
        EXPECT_EQ(units->CurrentItem(), unit)
            << (units->CurrentItem() ? units->CurrentItem()->Number() : "none");
        for (ProjectionWindow* grid : grids) {
            const QModelIndex current = grid->StringGrid1->currentIndex();
            EXPECT_EQ(grid->Model()->RowItem(current.row()), unit);
            if (grid->FirstClassifier() == 1) {
                EXPECT_EQ(grid->Model()->ColumnItem(current.column()), direction);
            }
        }
        EXPECT_FALSE(context->SyncGuard);
    }

    bool drag(ClassifierWindow* w, TTreeList* item, TTreeList* target, Qt::KeyboardModifier mod)
    {
        auto at = [w](TTreeList* i) {
            const QModelIndex row = Outline::RowOf(w->Outline1, i);
            w->Outline1->scrollTo(row);
            return w->Outline1->visualRect(row).center();
        };
        return window->Drag().BeginItemDrag(w->Outline1, Qt::LeftButton, mod, at(item),
                                            w->Tag()) &&
               window->Drag().DropItem(w->Outline1, at(target), w->Tag());
    }

    std::vector<ProjectionWindow*> grids;
    ClassifierWindow* directions = nullptr;
    ClassifierWindow* units = nullptr;
    TTreeList *d1, *d2, *d3, *u1, *u2, *u3;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Grids, EditSelectionTest, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "One" : "Two"; });

TEST_P(EditSelectionTest, MovingKeepsTheMovedItem)
{
    pick(units, u2);
    pick(directions, d3);
    directions->ActionUp->trigger();
    ASSERT_EQ(d3->Number(), "1.2");
    expectSelected(d3, u2);
    directions->ActionUp->trigger();
    ASSERT_EQ(d3->Number(), "1.1");
    expectSelected(d3, u2);
    directions->ActionDown->trigger();
    expectSelected(d3, u2);

    // Rows move the same way in every grid.
    pick(units, u3);
    units->ActionUp->trigger();
    ASSERT_EQ(u3->Number(), "4.2");
    expectSelected(d3, u3);
    units->ActionDown->trigger();
    expectSelected(d3, u3);
}

TEST_P(EditSelectionTest, DropsSelectTheMovedOrCopiedItem)
{
    pick(units, u1);
    pick(directions, d1);
    ASSERT_TRUE(drag(directions, d3, d1, Qt::ShiftModifier));
    ASSERT_EQ(d3->Number(), "1.1");
    expectSelected(d3, u1);

    ASSERT_TRUE(drag(directions, d2, d3, Qt::ControlModifier));
    TTreeList* copy = d3->Child(d3->Count() - 1);
    ASSERT_EQ(copy->Number(), "1.1.3");
    expectSelected(copy, u1);

    ASSERT_TRUE(drag(units, u3, u1, Qt::ControlModifier));
    expectSelected(copy, u1->Child(u1->Count() - 1));
}

TEST_P(EditSelectionTest, DeleteSelectsTheRowThatTookItsPlace)
{
    pick(units, u3);
    pick(directions, d2);
    prompts.queueConfirm(true);
    directions->ActionDel->trigger();
    ASSERT_EQ(d3->Number(), "1.2");
    expectSelected(d3, u3);

    // The last row of its level gives way to the one before it.
    pick(directions, d3);
    prompts.queueConfirm(true);
    units->ActionDel->trigger();
    expectSelected(d3, u2);
    EXPECT_TRUE(d3->Links().empty());
}

TEST_P(EditSelectionTest, InsertKeepsTheParentSelectedSoASecondInsertAddsASibling)
{
    pick(units, u2);
    TTreeList* tree = project().TreeByIndex(1);
    const QModelIndex top = directions->Outline1->model()->index(0, 0);
    directions->Outline1->collapseAll();
    directions->Outline1->setCurrentIndex(top);
    prompts.queueInput("n1");
    prompts.queueInput("n2");
    directions->Outline1->setFocus();
    QTest::keyClick(directions->Outline1, Qt::Key_Insert);
    QTest::keyClick(directions->Outline1, Qt::Key_Insert);
    ASSERT_EQ(tree->Count(), 5);
    EXPECT_EQ(tree->Child(3)->Name(), "n1");
    EXPECT_EQ(tree->Child(4)->Name(), "n2");
    EXPECT_EQ(directions->CurrentItem(), tree);
    EXPECT_TRUE(directions->Outline1->isExpanded(top));
    const QRect shown = directions->Outline1->viewport()->rect();
    EXPECT_TRUE(shown.contains(directions->Outline1->visualRect(
        Outline::RowOf(directions->Outline1, tree->Child(4)))));

    // Under a collapsed row of the other classifier: opened, the parent still selected.
    pick(directions, d2);
    units->Outline1->collapse(Outline::RowOf(units->Outline1, u1));
    pick(units, u1);
    prompts.queueInput("n3");
    units->ActionAdd->trigger();
    ASSERT_EQ(u1->Count(), 2);
    EXPECT_TRUE(units->Outline1->isExpanded(Outline::RowOf(units->Outline1, u1)));
    expectSelected(d2, u1);
}

TEST_P(EditSelectionTest, NoGridPaintsAGoneItemWhileAMessageIsUp)
{
    // Every grid is asked to paint while the box is "on screen"; its cells may refer only to
    // items that still exist, and after a release none of the classifier in question.
    auto paintAll = [this] {
        for (ProjectionWindow* grid : window->findChildren<ProjectionWindow*>()) {
            grid->StringGrid1->viewport()->repaint();
            for (int c = 0; c < grid->Model()->columnCount(); ++c)
                grid->Model()->HintText(-1, c);
            for (int r = 0; r < grid->Model()->rowCount(); ++r)
                grid->Model()->HintText(r, -1);
        }
    };
    context->Settings.GridSelectUnbind = true;
    context->Settings.GridUseHint = true;

    // The last unit goes: "Не заданы …!" is shown with no unit left in any grid.
    auto informing = [this] { return prompts.shown.back().rfind("inform: ", 0) == 0; };
    prompts.whileShown = [&] {
        if (informing()) {
            for (ProjectionWindow* grid : grids)
                EXPECT_EQ(grid->Model()->rowCount(), 0);
        }
        paintAll();
    };
    pick(units, u1);
    for (int i = 0; i < 3; ++i) {
        const QAbstractItemModel* rows = units->Outline1->model();
        units->Outline1->setCurrentIndex(rows->index(0, 0, rows->index(0, 0)));
        prompts.queueConfirm(true);
        units->ActionDel->trigger();
    }
    EXPECT_EQ(prompts.informs().back(), "Не заданы Структурные звенья!");
    EXPECT_EQ(window->FindProjectionWindow(1), nullptr);

    // A damaged file: its message comes while the windows still stand, with empty grids.
    grids.clear();
    project().TreeByIndex(4)->AddChild("u");
    grids.push_back(window->OpenProjection(1));
    ASSERT_NE(grids.back(), nullptr);
    test::TempDir dir;
    prompts.queueAnswer(Prompts::Answer::No);
    prompts.queueOpen(dir.write("bad.ovx", "0 P\r\n1 B\r\n1.1 x\r\n1.9.1 y\r\n"));
    prompts.whileShown = [&] {
        if (informing()) {
            EXPECT_EQ(grids.back()->Model()->columnCount(), 0);
            EXPECT_EQ(grids.back()->Model()->rowCount(), 0);
        }
        paintAll();
    };
    window->FileOpen1->trigger();
    EXPECT_EQ(prompts.informs().back(), "Не верный формат проекта!");
    EXPECT_TRUE(window->ChildWindows().isEmpty());
}
