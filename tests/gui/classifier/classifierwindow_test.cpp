#include <QTest>
#include <QToolBar>
#include <map>
#include <random>
#include <set>

#include "gui/classifier/classifierwindow.h"
#include "support/guifixture.h"
#include "support/outlinerows.h"

using namespace orm;

namespace {

class ClassifierWindowTest : public test::MainWindowTest {
protected:
    // Classifier 1: 1.1 a (1.1.1, 1.1.2), 1.2 b (1.2.1), 1.3 c (1.3.1, 1.3.2 (1.3.2.1)).
    ClassifierWindow* openSample()
    {
        TTreeList* t = project().TreeByIndex(1);
        TTreeList* a = t->AddChild("a");
        a->AddChild("a1");
        a->AddChild("a2");
        t->AddChild("b")->AddChild("b1");
        TTreeList* c = t->AddChild("c");
        c->AddChild("c1");
        c->AddChild("c2")->AddChild("c21");
        project().SetModified(false);
        ClassifierWindow* w = window->OpenClassifier(1);
        QApplication::processEvents();
        return w;
    }

    static QStringList rows(ClassifierWindow* w) { return test::RowTexts(w->Outline1, true); }

    static void select(ClassifierWindow* w, const char* number)
    {
        const QModelIndex row = test::RowNumbered(w->Outline1, QLatin1String(number));
        if (!row.isValid())
            ADD_FAILURE() << "no row " << number;
        w->Outline1->setCurrentIndex(row);
    }

    static QModelIndex top(ClassifierWindow* w) { return w->Outline1->model()->index(0, 0); }

    static void key(ClassifierWindow* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        w->Outline1->setFocus();
        QTest::keyClick(w->Outline1, static_cast<Qt::Key>(key), mods);
    }
};

}  // namespace

TEST_F(ClassifierWindowTest, RowsShowTheTreeWithLevels)
{
    ClassifierWindow* w = openSample();
    EXPECT_EQ(rows(w), (QStringList{"1 Бизнес-направления", " 1.1 a", "  1.1.1 a1", "  1.1.2 a2",
                                    " 1.2 b", "  1.2.1 b1", " 1.3 c", "  1.3.1 c1", "  1.3.2 c2",
                                    "   1.3.2.1 c21"}));
    EXPECT_TRUE(w->Outline1->isExpanded(top(w)));
    const int fontHeight = w->Outline1->fontMetrics().height();
    EXPECT_EQ(w->Outline1->visualRect(top(w)).height(), std::max(16, fontHeight));
}

TEST_F(ClassifierWindowTest, DeletingRenumbersTheFollowingRows)
{
    ClassifierWindow* w = openSample();
    select(w, "1.2");
    prompts.queueConfirm(false);
    w->ActionDel->trigger();
    EXPECT_EQ(project().TreeByIndex(1)->Count(), 3);
    EXPECT_FALSE(project().Modified());

    prompts.queueConfirm(true);
    key(w, Qt::Key_Delete);
    EXPECT_EQ(prompts.shown.back(), "confirm: Вы действительно хотите удалить?");
    // Two hasty Enters must not delete.
    EXPECT_EQ(prompts.confirmDefaults.back(), Prompts::Answer::No);
    EXPECT_TRUE(project().Modified());
    EXPECT_EQ(rows(w), (QStringList{"1 Бизнес-направления", " 1.1 a", "  1.1.1 a1", "  1.1.2 a2",
                                    " 1.2 c", "  1.2.1 c1", "  1.2.2 c2", "   1.2.2.1 c21"}));
    EXPECT_EQ(project().FindByNumber("1.2.2")->Name(), "c2");
}

TEST_F(ClassifierWindowTest, AddAppendsUnderTheSelectedRowEvenWhenCollapsed)
{
    ClassifierWindow* w = openSample();
    select(w, "1.1");
    w->Outline1->setExpanded(w->Outline1->currentIndex(), false);
    prompts.queueInput("новый");
    key(w, Qt::Key_Insert);
    EXPECT_EQ(prompts.shown.back(), "input: Новый элемент | ");
    EXPECT_EQ(project().FindByNumber("1.1.3")->Name(), ToCp1251("новый"));
    EXPECT_TRUE(project().Modified());
    EXPECT_EQ(rows(w).at(4), QStringLiteral("  1.1.3 новый"));

    // Row 1 takes a new top-level item.
    w->Outline1->setCurrentIndex(top(w));
    prompts.queueInput("d");
    w->ActionAdd->trigger();
    EXPECT_EQ(rows(w).back(), QStringLiteral(" 1.4 d"));

    // Cancel and an empty text add nothing.
    project().SetModified(false);
    prompts.queueInput(std::nullopt);
    w->ActionAdd->trigger();
    prompts.queueInput("");
    w->ActionAdd->trigger();
    EXPECT_EQ(project().TreeByIndex(1)->Count(), 4);
    EXPECT_FALSE(project().Modified());
}

TEST_F(ClassifierWindowTest, RenameOnlyRealChanges)
{
    ClassifierWindow* w = openSample();
    select(w, "1.3");
    prompts.queueInput("c");  // unchanged
    w->ActionMod->trigger();
    EXPECT_EQ(prompts.shown.back(), "input: Изменение | c");
    EXPECT_FALSE(project().Modified());
    prompts.queueInput("C");
    key(w, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(project().Modified());
    EXPECT_EQ(w->Outline1->currentIndex().data().toString(), QStringLiteral("1.3 C"));

    // The classifier's own row can be neither renamed nor deleted.
    w->Outline1->setCurrentIndex(top(w));
    EXPECT_FALSE(w->ActionMod->isEnabled());
    EXPECT_FALSE(w->ActionDel->isEnabled());
    w->ActionMod->trigger();
    w->ActionDel->trigger();
}

TEST_F(ClassifierWindowTest, UpAndDownStatesFollowThePosition)
{
    ClassifierWindow* w = openSample();
    w->Outline1->setCurrentIndex(top(w));
    EXPECT_FALSE(w->ActionUp->isEnabled());
    EXPECT_FALSE(w->ActionDown->isEnabled());
    select(w, "1.1");
    EXPECT_FALSE(w->ActionUp->isEnabled());
    EXPECT_TRUE(w->ActionDown->isEnabled());
    select(w, "1.3");
    EXPECT_TRUE(w->ActionUp->isEnabled());
    EXPECT_FALSE(w->ActionDown->isEnabled());
    select(w, "1.2.1");  // a single child
    EXPECT_FALSE(w->ActionUp->isEnabled());
    EXPECT_FALSE(w->ActionDown->isEnabled());
}

TEST_F(ClassifierWindowTest, MovingKeepsSubtreeExpansionAndSelection)
{
    ClassifierWindow* w = openSample();
    select(w, "1.1");
    w->Outline1->setExpanded(w->Outline1->currentIndex(), true);
    key(w, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(rows(w), (QStringList{"1 Бизнес-направления", " 1.1 b", "  1.1.1 b1", " 1.2 a",
                                    "  1.2.1 a1", "  1.2.2 a2", " 1.3 c", "  1.3.1 c1",
                                    "  1.3.2 c2", "   1.3.2.1 c21"}));
    EXPECT_EQ(w->CurrentItem()->Name(), "a");
    EXPECT_TRUE(w->Outline1->isExpanded(w->Outline1->currentIndex()));
    EXPECT_TRUE(project().Modified());
    EXPECT_EQ(project().FindByNumber("1.2.2")->Name(), "a2");

    key(w, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_FALSE(w->ActionUp->isEnabled());
    w->ActionUp->trigger();  // already first: nothing moves
    EXPECT_EQ(rows(w).at(1), QStringLiteral(" 1.1 a"));
    EXPECT_EQ(w->CurrentItem()->Name(), "a");
}

TEST_F(ClassifierWindowTest, EnterTogglesTheRowAndTheCaption)
{
    ClassifierWindow* w = openSample();
    select(w, "1.3");
    const QPersistentModelIndex row = w->Outline1->currentIndex();
    w->Outline1->setExpanded(row, false);
    w->UpdateActionStates();
    EXPECT_EQ(w->ActionExpand->text(), QStringLiteral("Развернуть"));
    key(w, Qt::Key_Return);
    EXPECT_TRUE(w->Outline1->isExpanded(row));
    EXPECT_EQ(w->ActionExpand->text(), QStringLiteral("Свернуть"));
}

// A leaf's row has an expanded state like any other: Enter switches it, and a row keeps it when
// its last child goes, so the child shows again when it comes back.
TEST_F(ClassifierWindowTest, LeafRowsKeepTheirExpandedState)
{
    ClassifierWindow* w = openSample();
    const auto caption = [w](const char* number) {
        select(w, number);
        w->UpdateActionStates();
        return w->ActionExpand->text();
    };
    EXPECT_EQ(caption("1.1.1"), QStringLiteral("Развернуть"));
    key(w, Qt::Key_Return);
    EXPECT_EQ(w->ActionExpand->text(), QStringLiteral("Свернуть"));
    key(w, Qt::Key_Return);
    EXPECT_EQ(w->ActionExpand->text(), QStringLiteral("Развернуть"));

    select(w, "1.2");
    key(w, Qt::Key_Return);
    select(w, "1.2.1");
    prompts.queueConfirm(true);
    w->ActionDel->trigger();
    EXPECT_EQ(caption("1.2"), QStringLiteral("Свернуть"));
    window->EditUndo1->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(rows(w).contains(QStringLiteral("  1.2.1 b1")));
    EXPECT_EQ(caption("1.2"), QStringLiteral("Свернуть"));
}

// Random adds, deletes, moves among siblings, undos and redos, with some rows expanded: the view
// lays out exactly the rows the tree and the open rows give; no row closes, and only the current
// row and the rows above it open; a deleted row gives way to the row that takes its place, else
// to the one before it, else to its parent.
TEST_F(ClassifierWindowTest, EditsKeepTheViewInStep)
{
    TTreeList* t = project().TreeByIndex(1);
    for (int i = 0; i < 5; ++i) {
        TTreeList* a = t->AddChild("a" + std::to_string(i));
        for (int j = 0; j < 4; ++j) {
            TTreeList* b = a->AddChild("b" + std::to_string(j));
            for (int k = 0; k < 3; ++k)
                b->AddChild("c" + std::to_string(k));
        }
    }
    project().SetModified(false);
    ClassifierWindow* w = window->OpenClassifier(1);
    QApplication::processEvents();
    OutlineView* view = w->Outline1;
    std::mt19937 random(11);
    t->ForEachNode([&](TTreeList* node) {
        if (node != t && node->Count() > 0 && random() % 2)
            view->expand(Outline::RowOf(view, node));
    });
    const auto openStates = [&] {
        std::map<const TTreeList*, bool> open;
        t->ForEachNode([&](TTreeList* node) {
            open[node] = view->isExpanded(Outline::RowOf(view, node));
        });
        return open;
    };
    // What the user should see: the tree in pre-order, below open rows only.
    const auto expectedRows = [&](std::vector<TTreeList*>& nodes) {
        QStringList rows;
        std::vector<TTreeList*> pending{t};
        while (!pending.empty()) {
            TTreeList* node = pending.back();
            pending.pop_back();
            nodes.push_back(node);
            rows << QString::fromStdString(ToUtf8(node->LineText()));
            if (view->isExpanded(Outline::RowOf(view, node))) {
                for (int i = node->Count() - 1; i >= 0; --i)
                    pending.push_back(node->Child(i));
            }
        }
        return rows;
    };
    // What the view lays out, row below row.
    const auto shownRows = [&] {
        QStringList rows;
        for (QModelIndex row = view->model()->index(0, 0); row.isValid();
             row = view->indexBelow(row))
            rows << row.data().toString();
        return rows;
    };
    for (int step = 0; step < 150; ++step) {
        std::vector<TTreeList*> visible;
        ASSERT_EQ(shownRows(), expectedRows(visible)) << step;
        const std::map<const TTreeList*, bool> before = openStates();
        TTreeList* item = visible[1 + random() % (visible.size() - 1)];
        TTreeList* heir = nullptr;
        switch (random() % 6) {
        case 0:
            w->SelectItem(item);
            (random() % 2 ? w->ActionUp : w->ActionDown)->trigger();
            ASSERT_EQ(w->CurrentItem(), item) << step;
            break;
        case 1: {
            TTreeList* parent = item->Parent();
            const int at = parent->IndexOf(item);
            heir = at + 1 < parent->Count() ? parent->Child(at + 1)
                   : at > 0                 ? parent->Child(at - 1)
                                            : parent;
            w->SelectItem(item);
            prompts.queueConfirm(true);
            w->ActionDel->trigger();
            ASSERT_EQ(w->CurrentItem(), heir) << step;
            break;
        }
        case 2:
            w->SelectItem(item);
            prompts.queueInput("n" + std::to_string(step));
            w->ActionAdd->trigger();
            break;
        case 3:
        case 4:
            window->EditUndo1->trigger();
            break;
        default:
            window->EditRedo1->trigger();
            break;
        }
        QApplication::processEvents();
        std::set<const TTreeList*> mayOpen;
        for (const TTreeList* up = w->CurrentItem(); up; up = up->Parent())
            mayOpen.insert(up);
        for (const auto& [node, open] : openStates()) {
            const auto was = before.find(node);
            if (was != before.end() && was->second != open) {
                ASSERT_TRUE(open && mayOpen.count(node)) << step << " " << node->Number();
            }
        }
    }
}

TEST_F(ClassifierWindowTest, ToolbarShowsOnlyInTheActiveWindow)
{
    ClassifierWindow* a = openSample();
    ClassifierWindow* b = window->OpenClassifier(4);
    QApplication::processEvents();
    EXPECT_TRUE(b->ToolBar1->isVisibleTo(b));
    EXPECT_FALSE(a->ToolBar1->isVisibleTo(a));
    window->OpenClassifier(1);
    QApplication::processEvents();
    EXPECT_TRUE(a->ToolBar1->isVisibleTo(a));
    EXPECT_FALSE(b->ToolBar1->isVisibleTo(b));
}

TEST_F(ClassifierWindowTest, OutlineHelpersOnALargeTree)
{
    TTreeList* t = project().TreeByIndex(2);
    for (int i = 0; i < 2000; ++i)
        t->AddChild("x")->AddChild("y");
    ClassifierWindow* w = window->OpenClassifier(2);
    TTreeList* deep = project().FindByNumber("2.1500.1");
    const QModelIndex row = Outline::SelectItemRow(w->Outline1, deep);
    ASSERT_TRUE(row.isValid());
    EXPECT_EQ(w->Outline1->currentIndex(), row);
    EXPECT_EQ(row.data().toString(), QStringLiteral("2.1500.1 y"));
    EXPECT_TRUE(w->Outline1->isExpanded(row.parent()));
    EXPECT_TRUE(w->Outline1->viewport()->rect().intersects(w->Outline1->visualRect(row)));
}
