// The outline model against the tree it shows: after every kind of edit, undo and redo the rows
// are the tree's nodes exactly, expanded rows stay expanded, and no row the view holds on to
// belongs to a destroyed node, also while a message is up during a project read.

#include <QSignalSpy>
#include <functional>
#include <set>

#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/dragdrop.h"
#include "gui/classifier/sampleswindow.h"
#include "support/guifixture.h"
#include "support/outlinerows.h"
#include "support/tempdir.h"

using namespace orm;

namespace {

class OutlineModelTest : public test::MainWindowTest {
protected:
    // Classifier 1: 1.1 a (1.1.1 a1 (1.1.1.1 a11), 1.1.2 a2), 1.2 b (1.2.1 b1), 1.3 c;
    // classifier 4: 4.1 u (4.1.1 u1, 4.1.2 u2), 4.2 v.
    ClassifierWindow* open()
    {
        TTreeList* t = project().TreeByIndex(1);
        a = t->AddChild("a");
        a1 = a->AddChild("a1");
        a11 = a1->AddChild("a11");
        a2 = a->AddChild("a2");
        b = t->AddChild("b");
        b1 = b->AddChild("b1");
        t->AddChild("c");
        u = project().TreeByIndex(4)->AddChild("u");
        u->AddChild("u1");
        u2 = u->AddChild("u2");
        project().TreeByIndex(4)->AddChild("v");
        a1->Link(u2);
        project().SetModified(false);
        ClassifierWindow* w = window->OpenClassifier(1);
        w->Outline1->expandAll();
        QApplication::processEvents();
        return w;
    }

    static std::set<const TTreeList*> expanded(ClassifierWindow* w)
    {
        std::set<const TTreeList*> out;
        for (const QModelIndex& row : test::AllRows(w->Outline1)) {
            if (w->Outline1->isExpanded(row))
                out.insert(Outline::ItemOf(row));
        }
        return out;
    }

    static std::set<const TTreeList*> nodes(TTreeList* tree)
    {
        std::set<const TTreeList*> out;
        tree->ForEachNode([&](TTreeList* node) { out.insert(node); });
        return out;
    }

    void select(ClassifierWindow* w, TTreeList* item)
    {
        w->Outline1->setCurrentIndex(Outline::RowOf(w->Outline1, item));
    }

    bool drag(ClassifierWindow* w, TTreeList* item, TTreeList* target, Qt::KeyboardModifier mod)
    {
        const auto at = [w](TTreeList* node) {
            const QModelIndex row = Outline::RowOf(w->Outline1, node);
            w->Outline1->scrollTo(row);
            return w->Outline1->visualRect(row).center();
        };
        return window->Drag().BeginItemDrag(w->Outline1, Qt::LeftButton, mod, at(item),
                                            w->Tag()) &&
               window->Drag().DropItem(w->Outline1, at(target), w->Tag());
    }

    TTreeList *a, *a1, *a11, *a2, *b, *b1, *u, *u2;
};

}  // namespace

TEST_F(OutlineModelTest, EveryEditKeepsTheRowsEqualToTheTreeAndExpandedRowsExpanded)
{
    ClassifierWindow* w = open();
    TTreeList* tree = project().TreeByIndex(1);
    QSignalSpy resets(w->Outline1->Model(), &QAbstractItemModel::modelReset);
    TTreeList* copy = nullptr;
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"add", [&] { select(w, a); prompts.queueInput("new"); w->ActionAdd->trigger(); }},
        {"rename", [&] { select(w, a2); prompts.queueInput("renamed"); w->ActionMod->trigger(); }},
        {"up", [&] { select(w, b); w->ActionUp->trigger(); }},
        {"down", [&] { select(w, b); w->ActionDown->trigger(); }},
        {"move across parents", [&] { ASSERT_TRUE(drag(w, a2, b1, Qt::ShiftModifier)); }},
        {"move back up", [&] { ASSERT_TRUE(drag(w, a2, a1, Qt::ShiftModifier)); }},
        {"move onto the classifier row", [&] {
             ASSERT_TRUE(drag(w, b1, tree, Qt::ShiftModifier)); }},
        {"copy into its own subtree", [&] {
             ASSERT_TRUE(drag(w, a, a11, Qt::ControlModifier));
             copy = w->CurrentItem();
             // The copy's rows opened, its deepest current: all of it goes with the undo.
             w->Outline1->expandRecursively(Outline::RowOf(w->Outline1, copy));
             TTreeList* deepest = copy;
             copy->ForEachNode([&](TTreeList* node) { deepest = node; });
             select(w, deepest); }},
        {"delete with a subtree", [&] {
             select(w, a1); prompts.queueConfirm(true); w->ActionDel->trigger(); }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        const std::set<const TTreeList*> before = expanded(w);
        edit();
        EXPECT_TRUE(test::RowsMatchTree(w->Outline1));
        EXPECT_TRUE(test::HeldRowsAreLive(w->Outline1));
        const std::set<const TTreeList*> live = nodes(tree);
        for (const TTreeList* node : before) {
            if (live.count(node)) {
                EXPECT_TRUE(w->Outline1->isExpanded(Outline::RowOf(w->Outline1, node)));
            }
        }
    }
    // Each edit told the view what changed; none started the rows over.
    EXPECT_EQ(resets.count(), 0);

    // Back through every step and forward again: a whole-tree rebuild each time.
    const std::set<const TTreeList*> expandedAtEnd = expanded(w);
    for (bool undo :
         {true, true, true, true, false, false, true, true, true, true, true, true, true}) {
        SCOPED_TRACE(undo ? "undo" : "redo");
        (undo ? window->EditUndo1 : window->EditRedo1)->trigger();
        EXPECT_TRUE(test::RowsMatchTree(w->Outline1));
        EXPECT_TRUE(test::HeldRowsAreLive(w->Outline1));
    }
    EXPECT_FALSE(project().Modified());
    // Rows of items that were there all along stay expanded (the copy has gone).
    ASSERT_TRUE(expandedAtEnd.count(a));
    EXPECT_TRUE(expanded(w).count(a));
    EXPECT_TRUE(expanded(w).count(tree));
    EXPECT_FALSE(context->SyncGuard);
}

TEST_F(OutlineModelTest, AnUndoLeavesTheOtherWindowsAsTheyWere)
{
    ClassifierWindow* w = open();
    ClassifierWindow* units = window->OpenClassifier(4);
    units->Outline1->expand(Outline::RowOf(units->Outline1, u));
    select(units, u2);
    // A row expanded below a collapsed one keeps its state through a rebuild.
    w->Outline1->collapse(Outline::RowOf(w->Outline1, a));
    ASSERT_TRUE(w->Outline1->isExpanded(Outline::RowOf(w->Outline1, a1)));

    select(w, b);
    prompts.queueConfirm(true);
    w->ActionDel->trigger();
    window->EditUndo1->trigger();

    EXPECT_EQ(units->CurrentItem(), u2);
    EXPECT_TRUE(units->Outline1->isExpanded(Outline::RowOf(units->Outline1, u)));
    EXPECT_TRUE(test::RowsMatchTree(units->Outline1));
    EXPECT_FALSE(w->Outline1->isExpanded(Outline::RowOf(w->Outline1, a)));
    EXPECT_TRUE(w->Outline1->isExpanded(Outline::RowOf(w->Outline1, a1)));
    EXPECT_EQ(w->CurrentItem(), project().FindByNumber("1.2"));
    EXPECT_TRUE(test::RowsMatchTree(w->Outline1));
}

TEST_F(OutlineModelTest, NoOutlineShowsAGoneItemWhileAMessageIsUp)
{
    test::TempDir dir;
    const std::string damaged = dir.write("bad.ovx", "0 Two\r\n1 x\r\n1.1 b\r\n1.9.9 c\r\n");
    const std::string samplesFile = dir.write("one.rem", "0 One\r\n1 x\r\n1.1 a\r\n");
    open();
    window->OpenClassifier(4);
    prompts.queueOpen(samplesFile);
    ASSERT_TRUE(window->OpenSamples());
    window->FindSamplesWindow()->Outline1->expandAll();

    // Each outline paints while a message is "on screen"; none may still show the old items.
    int boxes = 0;
    const auto informing = [this] { return prompts.shown.back().rfind("inform: ", 0) == 0; };
    prompts.whileShown = [&] {
        if (!informing())
            return;
        ++boxes;
        for (ClassifierWindow* c : window->findChildren<ClassifierWindow*>()) {
            c->Outline1->viewport()->repaint();
            EXPECT_EQ(c->Outline1->model()->rowCount(), 0);
        }
        for (SamplesWindow* s : window->findChildren<SamplesWindow*>()) {
            s->Outline1->viewport()->repaint();
            EXPECT_TRUE(test::RowsMatchTree(s->Outline1));
        }
    };
    EXPECT_TRUE(window->OpenProjectFile(damaged));
    EXPECT_EQ(prompts.informs().back(), "Не верный формат проекта!");

    // The samples read again from a damaged file: the old sample items go before the message.
    window->OpenClassifier(1);
    prompts.whileShown = [&] {
        if (!informing())
            return;
        ++boxes;
        SamplesWindow* s = window->FindSamplesWindow();
        s->Outline1->viewport()->repaint();
        EXPECT_EQ(s->Outline1->model()->rowCount(), 0);
    };
    prompts.queueOpen(damaged);
    ASSERT_TRUE(window->OpenSamples());
    EXPECT_EQ(boxes, 2);
    EXPECT_TRUE(test::RowsMatchTree(window->FindSamplesWindow()->Outline1));
    EXPECT_EQ(window->FindSamplesWindow()->Outline1->model()->rowCount(), 4);
}
