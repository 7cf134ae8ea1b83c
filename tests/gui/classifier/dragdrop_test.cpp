#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/dragdrop.h"
#include "gui/classifier/sampleswindow.h"
#include "gui/projection/projectionwindow.h"
#include "support/guifixture.h"
#include "support/outlinerows.h"
#include "support/tempdir.h"

using namespace orm;

namespace {

class DragDropTest : public test::MainWindowTest {
protected:
    // Classifier 1: 1.1 a (1.1.1 a1 (1.1.1.1 a11), 1.1.2 a2), 1.2 b (1.2.1 b1); 4.1 u.
    ClassifierWindow* open()
    {
        TTreeList* t = project().TreeByIndex(1);
        a = t->AddChild("a");
        a1 = a->AddChild("a1");
        a11 = a1->AddChild("a11");
        a2 = a->AddChild("a2");
        b = t->AddChild("b");
        b1 = b->AddChild("b1");
        u = project().TreeByIndex(4)->AddChild("u");
        a1->Link(u);
        project().SetModified(false);
        ClassifierWindow* w = window->OpenClassifier(1);
        w->Outline1->expandAll();
        QApplication::processEvents();
        return w;
    }

    QPoint at(OutlineView* outline, TTreeList* item)
    {
        const QModelIndex row = Outline::RowOf(outline, item);
        outline->scrollTo(row);
        return outline->visualRect(row).center();
    }

    bool begin(ClassifierWindow* w, TTreeList* item, Qt::KeyboardModifiers mods)
    {
        return window->Drag().BeginItemDrag(w->Outline1, Qt::LeftButton, mods,
                                            at(w->Outline1, item), w->Tag());
    }

    bool drop(ClassifierWindow* w, TTreeList* target)
    {
        return window->Drag().DropItem(w->Outline1, at(w->Outline1, target), w->Tag());
    }

    static QStringList rows(OutlineView* outline) { return test::RowTexts(outline); }

    TTreeList *a, *a1, *a11, *a2, *b, *b1, *u;
};

}  // namespace

TEST_F(DragDropTest, WhichPressesStartADrag)
{
    ClassifierWindow* w = open();
    EXPECT_FALSE(begin(w, a, Qt::NoModifier));
    EXPECT_FALSE(begin(w, project().TreeByIndex(1), Qt::ShiftModifier));  // row 1
    EXPECT_TRUE(begin(w, a, Qt::ShiftModifier));
    EXPECT_EQ(window->Drag().Record().DragMode, TDragObject::Move);
    EXPECT_TRUE(begin(w, a, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(window->Drag().Record().DragMode, TDragObject::Copy);
    EXPECT_EQ(window->Drag().Record().DraggedItem, a);
    EXPECT_EQ(window->Drag().Record().SourceTag, 1);
    EXPECT_FALSE(window->Drag().BeginItemDrag(w->Outline1, Qt::RightButton, Qt::ShiftModifier,
                                              at(w->Outline1, a), 1));
}

TEST_F(DragDropTest, MovePlacesBeforeOrAfterTheTarget)
{
    ClassifierWindow* w = open();
    // An earlier row onto a later row: just after it, across parents.
    ASSERT_TRUE(begin(w, a2, Qt::ShiftModifier));
    ASSERT_TRUE(drop(w, b1));
    EXPECT_EQ(rows(w->Outline1),
              (QStringList{"1 Бизнес-направления", "1.1 a", "1.1.1 a1", "1.1.1.1 a11", "1.2 b",
                           "1.2.1 b1", "1.2.2 a2"}));
    EXPECT_EQ(w->CurrentItem(), a2);
    EXPECT_TRUE(project().Modified());

    // A later row onto an earlier one: just before it.
    ASSERT_TRUE(begin(w, b, Qt::ShiftModifier));
    ASSERT_TRUE(drop(w, a));
    EXPECT_EQ(project().FindByNumber("1.1")->Name(), "b");
    EXPECT_EQ(project().FindByNumber("1.1.2")->Name(), "a2");
    EXPECT_EQ(project().FindByNumber("1.2.1.1")->Name(), "a11");
    EXPECT_EQ(rows(w->Outline1).at(1), QStringLiteral("1.1 b"));
}

TEST_F(DragDropTest, MoveIntoItsOwnSubtreeIsRefusedCopyIsNot)
{
    ClassifierWindow* w = open();
    ASSERT_TRUE(begin(w, a, Qt::ShiftModifier));
    EXPECT_FALSE(window->Drag().CanDropItem(w->Outline1, at(w->Outline1, a11), 1));
    EXPECT_FALSE(drop(w, a11));
    EXPECT_FALSE(drop(w, a));
    EXPECT_FALSE(project().Modified());

    ASSERT_TRUE(begin(w, a, Qt::ControlModifier));
    ASSERT_TRUE(drop(w, a11));
    // The copy of a (with a1, a11, a2 below it) is the last child of a11, without links.
    TTreeList* copy = project().FindByNumber("1.1.1.1.1");
    EXPECT_EQ(copy->Name(), "a");
    EXPECT_EQ(copy->Count(), 2);
    EXPECT_EQ(copy->Child(0)->Child(0)->Name(), "a11");
    EXPECT_TRUE(copy->Child(0)->Links().empty());
    EXPECT_EQ(a1->Links().size(), 1u);
    EXPECT_EQ(w->CurrentItem(), copy);
    EXPECT_EQ(Outline::RowOf(w->Outline1, copy).data().toString(), QStringLiteral("1.1.1.1.1 a"));
    EXPECT_EQ(rows(w->Outline1).size(), 7 + 4);
}

TEST_F(DragDropTest, MoveOntoTheClassifierRowMakesTheFirstTopItem)
{
    ClassifierWindow* w = open();
    ASSERT_TRUE(begin(w, b1, Qt::ShiftModifier));
    ASSERT_TRUE(drop(w, project().TreeByIndex(1)));
    EXPECT_EQ(project().Count(), 4);
    EXPECT_EQ(project().FindByNumber("1.1")->Name(), "b1");
    EXPECT_EQ(rows(w->Outline1).at(1), QStringLiteral("1.1 b1"));
    EXPECT_EQ(rows(w->Outline1).at(2), QStringLiteral("1.2 a"));
}

TEST_F(DragDropTest, DropsRebuildTheGrids)
{
    ClassifierWindow* w = open();
    ProjectionWindow* grid = window->OpenProjection(1);
    ASSERT_NE(grid, nullptr);
    ASSERT_TRUE(begin(w, a, Qt::ControlModifier));
    ASSERT_TRUE(drop(w, b));
    EXPECT_EQ(grid->Model()->columnCount(), 6 + 4);
    EXPECT_EQ(grid->Model()->headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("1.2.2.2"));
}

TEST_F(DragDropTest, TheMouseDrivesADragWithItsCursors)
{
    ClassifierWindow* w = open();
    QWidget* viewport = w->Outline1->viewport();
    const QPoint from = at(w->Outline1, b);
    const QPoint to = at(w->Outline1, a);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::ShiftModifier, from);
    ASSERT_TRUE(window->Drag().Dragging());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    // Over the dragged row itself the drop is refused.
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
    EXPECT_FALSE(window->Drag().MarkedRow().isValid());
    QTest::mouseMove(viewport, to);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BitmapCursor);
    // The row that would take the drop is marked while the mouse is over it.
    const QPersistentModelIndex marked = window->Drag().MarkedRow();
    ASSERT_EQ(marked, Outline::RowOf(w->Outline1, a));
    EXPECT_NE(marked.data(Qt::BackgroundRole).value<QBrush>().style(), Qt::NoBrush);
    EXPECT_EQ(QApplication::overrideCursor()->pixmap().toImage(),
              TDragController::MoveCursor().pixmap().toImage());
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ShiftModifier, to);
    EXPECT_FALSE(window->Drag().Dragging());
    EXPECT_FALSE(window->Drag().MarkedRow().isValid());
    ASSERT_TRUE(marked.isValid());
    EXPECT_EQ(marked.data(Qt::BackgroundRole).value<QBrush>().style(), Qt::NoBrush);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(project().FindByNumber("1.1")->Name(), "b");

    // A plain press selects and drags nothing; Escape ends a drag without a drop.
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, at(w->Outline1, a2));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at(w->Outline1, a2));
    EXPECT_FALSE(window->Drag().Dragging());
    EXPECT_EQ(w->CurrentItem(), a2);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::ControlModifier, at(w->Outline1, a2));
    QTest::keyClick(viewport, Qt::Key_Escape);
    EXPECT_FALSE(window->Drag().Dragging());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DragDropTest, SamplesAreCopiedIntoTheSameClassifierOnly)
{
    test::TempDir dir;
    const std::string file = dir.write(
        "samples.rem", ToCp1251("0 Образцы\r\n2 P\r\n2.1 Закупки\r\n2.1.1 Заявки\r\n4 S\r\n"
                                "4.1 Склад\r\n2.1.1\r\n"));
    open();
    project().TreeByIndex(2)->AddChild("p");
    project().SetModified(false);
    ClassifierWindow* processes = window->OpenClassifier(2);
    prompts.queueOpen(file);
    ASSERT_TRUE(window->OpenSamples());
    SamplesWindow* samples = window->FindSamplesWindow();
    ASSERT_NE(samples, nullptr);
    EXPECT_EQ(samples->windowTitle(), QStringLiteral("Образцы"));
    samples->Outline1->expandAll();
    EXPECT_EQ(samples->Outline1->model()->rowCount(), 4);

    TTreeList* sample = context->SamplesProject.FindByNumber("2.1");
    auto beginSample = [&](TTreeList* item, Qt::KeyboardModifiers mods) {
        return window->Drag().BeginItemDrag(samples->Outline1, Qt::LeftButton, mods,
                                            at(samples->Outline1, item), SamplesSourceTag);
    };
    EXPECT_FALSE(beginSample(sample, Qt::ShiftModifier));
    EXPECT_FALSE(beginSample(context->SamplesProject.TreeByIndex(2), Qt::ControlModifier));
    ASSERT_TRUE(beginSample(sample, Qt::ControlModifier));

    ClassifierWindow* directions = window->FindClassifierWindow(1);
    EXPECT_FALSE(window->Drag().CanDropItem(directions->Outline1, at(directions->Outline1, a), 1));
    ASSERT_TRUE(drop(processes, project().FindByNumber("2.1")));
    TTreeList* copy = project().FindByNumber("2.1.1");
    EXPECT_EQ(copy->Name(), ToCp1251("Закупки"));
    EXPECT_EQ(copy->Child(0)->Name(), ToCp1251("Заявки"));
    EXPECT_TRUE(copy->Child(0)->Links().empty());
    EXPECT_TRUE(project().Modified());
    EXPECT_FALSE(context->SamplesProject.Modified());
    EXPECT_EQ(context->SamplesProject.FindByNumber("2.1")->Count(), 1);
}

TEST_F(DragDropTest, SamplesWindowLivesOnAndRefills)
{
    test::TempDir dir;
    const std::string first = dir.write("one.ovx", "0 One\r\n1 x\r\n1.1 a\r\n");
    const std::string bad = dir.write("two.ovx", "0 Two\r\n1 x\r\n1.1 b\r\n1.9.9 c\r\n");
    prompts.queueOpen(first);
    ASSERT_TRUE(window->OpenSamples());
    SamplesWindow* samples = window->FindSamplesWindow();
    window->OpenClassifier(1);

    prompts.queueOpen(std::nullopt);
    EXPECT_FALSE(window->OpenSamples());

    window->FileNew1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(window->FindSamplesWindow(), samples);
    EXPECT_EQ(window->FindClassifierWindow(1), nullptr);

    prompts.queueOpen(bad);
    ASSERT_TRUE(window->OpenSamples());
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Не верный формат проекта!"}));
    EXPECT_EQ(window->FindSamplesWindow(), samples);
    EXPECT_EQ(samples->windowTitle(), QStringLiteral("Two"));
    const QAbstractItemModel* rows = samples->Outline1->model();
    EXPECT_EQ(rows->index(0, 0, rows->index(0, 0)).data().toString(), QStringLiteral("1.1 b"));
}
