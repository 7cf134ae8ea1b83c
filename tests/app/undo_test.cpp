// Undo and redo through the real windows: each kind of edit comes back byte for byte, the
// windows show the result and select the item, a long random run with grids open ends with the
// project that replaying the surviving edits gives; a no-op is no step, a paste or an import
// one step, and undo keeps what every window shows.

#include <QClipboard>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <fstream>
#include <functional>
#include <random>

#include "core/model/edithistory.h"
#include "core/model/projectedits.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/dragdrop.h"
#include "gui/projection/projectionwindow.h"
#include "support/guifixture.h"
#include "support/outlinerows.h"
#include "support/tempdir.h"

using namespace orm;

namespace {

class UndoTest : public test::MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        TTreeList* t1 = project().TreeByIndex(1);
        TTreeList* a = t1->AddChild("a");
        a->AddChild("a1");
        a->AddChild("a2");
        t1->AddChild("b");
        project().TreeByIndex(2)->AddChild("p");
        TTreeList* u = project().TreeByIndex(4)->AddChild("u");
        u->AddChild("u1");
        project().TreeByIndex(4)->AddChild("v")->Link(a);
        u->Link(project().FindByNumber("1.2"));
        project().SetModified(false);
        project().History().Clear();
        window->OpenProjection(1);
        window->OpenProjection(2);
        directions = window->FindClassifierWindow(1);
        units = window->FindClassifierWindow(4);
    }

    void select(ClassifierWindow* w, const std::string& number)
    {
        w->Outline1->setCurrentIndex(Outline::RowOf(w->Outline1, project().FindByNumber(number)));
    }

    QPoint at(ClassifierWindow* w, const std::string& number)
    {
        const QModelIndex row = Outline::RowOf(w->Outline1, project().FindByNumber(number));
        w->Outline1->scrollTo(row);
        return w->Outline1->visualRect(row).center();
    }

    void drag(ClassifierWindow* w, const std::string& from, const std::string& to,
              Qt::KeyboardModifier mod)
    {
        w->Outline1->expandAll();
        ASSERT_TRUE(window->Drag().BeginItemDrag(w->Outline1, Qt::LeftButton, mod, at(w, from),
                                                 w->Tag()));
        ASSERT_TRUE(window->Drag().DropItem(w->Outline1, at(w, to), w->Tag()));
    }

    // Every row of every classifier window shows its item's text, and every grid's headers
    // are the items' numbers: nothing of an older state is left on screen.
    void expectWindowsShowTheProject()
    {
        for (TF_Base* child : window->ChildWindows()) {
            if (auto* w = qobject_cast<ClassifierWindow*>(child)) {
                const QStringList shown = test::RowTexts(w->Outline1);
                QStringList expected;
                project().TreeByIndex(w->Tag())->ForEachPreOrder(
                    [&](TTreeList* node, const std::string&, int) {
                        expected << QString::fromStdString(ToUtf8(node->LineText()));
                    });
                EXPECT_EQ(shown, expected) << w->Tag();
            } else if (auto* grid = qobject_cast<ProjectionWindow*>(child)) {
                ItemList rows;
                ASSERT_TRUE(project().FillItemList(grid->SecondClassifier(), rows, prompts));
                ASSERT_EQ(grid->Model()->rowCount(), int(rows.size()));
                for (size_t r = 0; r < rows.size(); ++r)
                    EXPECT_EQ(grid->Model()->RowItem(int(r)), rows[r].Item);
            }
        }
    }

    ClassifierWindow* directions = nullptr;
    ClassifierWindow* units = nullptr;
};

}  // namespace

TEST_F(UndoTest, EachEditThroughTheWindowsComesBackByteForByte)
{
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"add", [&] { select(directions, "1.1"); prompts.queueInput("new");
                      directions->ActionAdd->trigger(); }},
        {"rename", [&] { select(directions, "1.1.2"); prompts.queueInput("renamed");
                         directions->ActionMod->trigger(); }},
        {"delete", [&] { select(directions, "1.1"); prompts.queueConfirm(true);
                         directions->ActionDel->trigger(); }},
        {"delete a unit with bindings", [&] { select(units, "4.1"); prompts.queueConfirm(true);
                                              units->ActionDel->trigger(); }},
        {"up", [&] { select(directions, "1.2"); directions->ActionUp->trigger(); }},
        {"shift-drag", [&] { drag(directions, "1.2", "1.1.1", Qt::ShiftModifier); }},
        {"ctrl-drag", [&] { drag(directions, "1.1", "1.1.2", Qt::ControlModifier); }},
        {"binding", [&] {
             ProjectionWindow* grid = window->FindProjectionWindow(1);
             grid->StringGrid1->setCurrentIndex(grid->Model()->index(1, 0));
             grid->ActionBind->trigger(); }},
        {"project name", [&] { prompts.queueInput("Компания"); window->FilePrjName->trigger(); }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        const std::string before = project().ProjectFileText();
        edit();
        const std::string after = project().ProjectFileText();
        ASSERT_NE(after, before);
        EXPECT_EQ(window->EditUndo1->isEnabled(), true);
        window->EditUndo1->trigger();
        EXPECT_EQ(project().ProjectFileText(), before);
        EXPECT_FALSE(project().Modified());
        expectWindowsShowTheProject();
        window->EditRedo1->trigger();
        EXPECT_EQ(project().ProjectFileText(), after);
        expectWindowsShowTheProject();
        window->EditUndo1->trigger();
    }
    EXPECT_FALSE(context->SyncGuard);
}

TEST_F(UndoTest, TheUndoneItemIsSelectedAndTheHintsNameTheStep)
{
    select(directions, "1.2");
    prompts.queueConfirm(true);
    directions->ActionDel->trigger();
    EXPECT_EQ(window->EditUndo1->toolTip(), QStringLiteral("Отменить: удаление «1.2 b»"));
    EXPECT_FALSE(window->EditRedo1->isEnabled());
    // The popup of a classifier window offers the same two commands.
    EXPECT_TRUE(directions->PopupMenu1->actions().contains(window->EditUndo1));
    EXPECT_TRUE(directions->PopupMenu1->actions().contains(window->EditRedo1));

    window->EditUndo1->trigger();
    EXPECT_EQ(directions->CurrentItem(), project().FindByNumber("1.2"));
    EXPECT_EQ(window->EditRedo1->toolTip(), QStringLiteral("Повторить: удаление «1.2 b»"));
    // Its binding is back, and the grid's current cell is on its column.
    ProjectionWindow* grid = window->FindProjectionWindow(1);
    EXPECT_EQ(grid->Model()->ColumnItem(grid->StringGrid1->currentIndex().column()),
              project().FindByNumber("1.2"));
    EXPECT_TRUE(project().FindByNumber("1.2")->IsLinkedWith(project().FindByNumber("4.1")));

    // A new project forgets the history.
    window->FileNew1->trigger();
    EXPECT_FALSE(window->EditUndo1->isEnabled());
    EXPECT_FALSE(window->EditRedo1->isEnabled());
}

// Hundreds of random edits, undos and redos with both grids open; the edits that survive,
// replayed on the first state, give the same project.
TEST_F(UndoTest, RandomRunsWithGridsOpenEndWhereReplayingTheSurvivingEditsDoes)
{
    std::mt19937 random(7);
    const std::string start = project().ProjectFileText();
    using Replay = std::function<void(TMainTreeList&)>;
    std::vector<Replay> done;
    std::vector<Replay> undone;
    auto items = [&](int k) {
        std::vector<std::string> numbers;
        project().TreeByIndex(k)->ForEachPreOrder(
            [&](TTreeList*, const std::string& number, int depth) {
                if (depth > 0)
                    numbers.push_back(number);
            });
        return numbers;
    };
    for (int step = 0; step < 300; ++step) {
        const int k = random() % 2 ? 1 : 4;
        ClassifierWindow* w = k == 1 ? directions : units;
        const std::vector<std::string> numbers = items(k);
        const std::string a = numbers[random() % numbers.size()];
        const size_t before = project().History().Done();
        Replay replay;
        switch (random() % 8) {
        case 0:
            window->EditUndo1->trigger();
            if (project().History().Done() < before) {
                undone.push_back(done.back());
                done.pop_back();
            }
            continue;
        case 1:
            window->EditRedo1->trigger();
            if (project().History().Done() > before) {
                done.push_back(undone.back());
                undone.pop_back();
            }
            continue;
        case 2:
        case 3: {
            const std::string name = "n" + std::to_string(step);
            select(w, a);
            prompts.queueInput(name);
            w->ActionAdd->trigger();
            replay = [a, name](TMainTreeList& p) { p.FindByNumber(a)->AddChild(name); };
            break;
        }
        case 4:
            // Never the last top item: the grids would close with the classifier's message.
            if (project().FindByNumber(a)->Parent()->Count() == 1 &&
                project().FindByNumber(a)->Parent() == project().TreeByIndex(k))
                continue;
            select(w, a);
            prompts.queueConfirm(true);
            w->ActionDel->trigger();
            replay = [a](TMainTreeList& p) {
                TTreeList* item = p.FindByNumber(a);
                item->Parent()->DeleteAt(item->Parent()->IndexOf(item));
            };
            break;
        case 5:
            select(w, a);
            w->ActionDown->trigger();
            replay = [a](TMainTreeList& p) {
                TTreeList* item = p.FindByNumber(a);
                ProjectEdits::MoveItemTo(item, item->Parent(), item->Parent()->IndexOf(item) + 1);
            };
            break;
        case 6: {
            const std::string b = numbers[random() % numbers.size()];
            if (b == a)
                continue;
            drag(w, a, b, Qt::ControlModifier);
            replay = [a, b](TMainTreeList& p) {
                TTreeList* target = p.FindByNumber(b);
                target->Append(TTreeList::CopySubtree(target, *p.FindByNumber(a)));
            };
            break;
        }
        default: {
            ProjectionWindow* grid = window->FindProjectionWindow(1);
            const int r = int(random() % grid->Model()->rowCount());
            const int c = int(random() % grid->Model()->columnCount());
            const std::string row = grid->Model()->RowItem(r)->Number();
            const std::string column = grid->Model()->ColumnItem(c)->Number();
            grid->StringGrid1->setCurrentIndex(grid->Model()->index(r, c));
            grid->ActionBind->trigger();
            replay = [row, column](TMainTreeList& p) {
                p.FindByNumber(row)->ToggleLink(p.FindByNumber(column), true);
            };
            break;
        }
        }
        if (project().History().Done() == before + 1) {
            done.push_back(replay);
            undone.clear();
        }
        ASSERT_FALSE(context->SyncGuard) << step;
    }
    expectWindowsShowTheProject();
    TMainTreeList replayed;
    ASSERT_TRUE(replayed.ReadProjectText(start).Ok);
    for (const Replay& replay : done)
        replay(replayed);
    EXPECT_EQ(project().ProjectFileText(), replayed.ProjectFileText());
    EXPECT_TRUE(prompts.allAnswersUsed());
}

TEST_F(UndoTest, UndoAndRedoKeepTheViewOfEveryWindow)
{
    TTreeList* a = project().FindByNumber("1.1");
    a->FindByNumber("2")->AddChild("a21");
    directions->FillOutline();
    directions->Outline1->expandAll();
    const auto expanded = [this](const std::string& number) {
        return directions->Outline1->isExpanded(
            Outline::RowOf(directions->Outline1, project().FindByNumber(number)));
    };
    // 1.1.1 stays a leaf, 1.1.2 open, 1.1 open: so it is after each undo of the delete.
    select(units, "4.2");
    select(directions, "1.1");
    prompts.queueConfirm(true);
    directions->ActionDel->trigger();
    for (int round = 0; round < 2; ++round) {
        window->EditUndo1->trigger();
        EXPECT_TRUE(expanded("1.1")) << round;
        EXPECT_TRUE(expanded("1.1.2")) << round;
        EXPECT_EQ(directions->CurrentItem(), project().FindByNumber("1.1"));
        // The other classifier's window keeps its selection and its open rows.
        EXPECT_EQ(units->CurrentItem(), project().FindByNumber("4.2")) << round;
        EXPECT_TRUE(units->Outline1->isExpanded(units->Outline1->model()->index(0, 0)));
        expectWindowsShowTheProject();
        // Folded before the next redo, and so it comes back the next time.
        if (round == 0) {
            directions->Outline1->collapse(
                Outline::RowOf(directions->Outline1, project().FindByNumber("1.1.2")));
        }
        window->EditRedo1->trigger();
        EXPECT_EQ(project().TreeByIndex(1)->Count(), 1);
        if (round == 0) {
            window->EditUndo1->trigger();
            EXPECT_FALSE(expanded("1.1.2"));
            directions->Outline1->expandAll();
            window->EditRedo1->trigger();
        }
    }
}

TEST_F(UndoTest, AnEditThatChangesNothingIsNoEdit)
{
    directions->Outline1->expandAll();
    directions->Outline1->collapse(Outline::RowOf(directions->Outline1, project().FindByNumber("1.1")));
    directions->Outline1->expand(Outline::RowOf(directions->Outline1, project().FindByNumber("1.1")));
    const QStringList rowsBefore = test::RowTexts(directions->Outline1, true);
    const size_t steps = project().History().Size();
    // A first child onto its classifier's row, a rename to the same name, Up on a first child.
    ASSERT_TRUE(window->Drag().BeginItemDrag(directions->Outline1, Qt::LeftButton,
                                             Qt::ShiftModifier, at(directions, "1.1"), 1));
    const QPoint classifierRow =
        directions->Outline1->visualRect(directions->Outline1->model()->index(0, 0)).center();
    window->Drag().DropItem(directions->Outline1, classifierRow, 1);
    select(directions, "1.1");
    prompts.queueInput("a");
    directions->ActionMod->trigger();
    directions->ActionUp->trigger();
    EXPECT_EQ(test::RowTexts(directions->Outline1, true), rowsBefore);
    EXPECT_TRUE(directions->Outline1->isExpanded(
        Outline::RowOf(directions->Outline1, project().FindByNumber("1.1"))));
    EXPECT_TRUE(directions->Outline1->isExpanded(directions->Outline1->model()->index(0, 0)));
    EXPECT_FALSE(project().Modified());
    EXPECT_EQ(project().History().Size(), steps);
    EXPECT_FALSE(window->EditUndo1->isEnabled());
}

TEST_F(UndoTest, APasteOrAMatrixImportIsOneStepThroughTheWindows)
{
    // Copied from 1.1 and pasted under 1.2: the same outline there, in one step.
    select(directions, "1.1");
    directions->ActionCopy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("1.1 a\r\n\t1.1.1 a1\r\n\t1.1.2 a2\r\n"));
    select(directions, "1.2");
    prompts.queueConfirm(true);
    directions->Outline1->setFocus();
    QTest::keyClick(directions->Outline1, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(project().FindByNumber("1.2")->Count(), 1);
    EXPECT_EQ(project().FindByNumber("1.2.1.2")->Name(), "a2");
    EXPECT_EQ(directions->CurrentItem(), project().FindByNumber("1.2"));
    EXPECT_EQ(window->EditUndo1->toolTip(), QStringLiteral("Отменить: вставка элементов: 3"));
    expectWindowsShowTheProject();
    window->EditUndo1->trigger();
    EXPECT_EQ(project().FindByNumber("1.2")->Count(), 0);
    expectWindowsShowTheProject();

    // A text that breaks the rules is named and changes nothing.
    // Through the Edit menu too, which acts on the active classifier window.
    QGuiApplication::clipboard()->setText(QStringLiteral("x\n\t\ty"));
    window->MdiArea()->setActiveSubWindow(window->SubWindowOf(directions));
    window->EditPasteItems->trigger();
    EXPECT_EQ(prompts.errors().back(),
              "Строка 2: уровень больше чем на один глубже предыдущей строки.");
    EXPECT_FALSE(window->EditRedo1->toolTip().isEmpty());

    // The grid's CSV, edited and brought back: one step, and the grid shows it.
    test::TempDir dir;
    const std::string path = dir.path("grid.csv");
    ProjectionWindow* grid = window->FindProjectionWindow(1);
    prompts.queueSave(path);
    grid->ActionExportCsv->trigger();
    std::string csv = test::TempDir::read(path);
    const size_t mark = csv.find(";X");  // 4.1 u bound to 1.2 b: unbound in the file
    ASSERT_NE(mark, std::string::npos);
    csv.replace(mark, 2, ";");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << csv;
    prompts.queueOpen(path);
    prompts.queueConfirm(true);
    grid->ActionImportCsv->trigger();
    EXPECT_EQ(prompts.shown.back(), "confirm: Связей будет добавлено: 0\nудалено: 1\n"
                                    "без изменений: 11\nПрименить?");
    EXPECT_FALSE(project().FindByNumber("4.1")->IsLinkedWith(project().FindByNumber("1.2")));
    window->EditUndo1->trigger();
    EXPECT_TRUE(project().FindByNumber("4.1")->IsLinkedWith(project().FindByNumber("1.2")));
}
