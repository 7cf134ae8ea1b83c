// Filling and renumbering a classifier outline of 10^3..10^5 rows, and the edits of a classifier
// window on a large classifier (add, delete, move, each with its renumbering).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>

#include "app/mainwindow.h"
#include "core/model/project.h"
#include "core/model/projectedits.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/kit/appcontext.h"
#include "projectgen.h"

using namespace orm;

namespace {

// A classifier of n items: a few wide levels, up to five deep, as the generator makes them.
std::unique_ptr<TMainTreeList> projectWith(int items)
{
    return bench::GenerateProject(items * 4);
}

void BM_FillOutline(benchmark::State& state)
{
    auto project = projectWith(static_cast<int>(state.range(0)));
    QTreeWidget outline;
    for (auto _ : state)
        Outline::Fill(&outline, project->TreeByIndex(1));
    state.SetComplexityN(state.range(0));
}

void BM_RenumberRows(benchmark::State& state)
{
    auto project = projectWith(static_cast<int>(state.range(0)));
    QTreeWidget outline;
    Outline::Fill(&outline, project->TreeByIndex(1));
    TTreeList* tree = project->TreeByIndex(1);
    for (auto _ : state) {
        // Moving the first top item to the end changes every number below the tree node.
        state.PauseTiming();
        ProjectEdits::MoveItem(tree->Child(0), tree->Child(tree->Count() - 1), true);
        QTreeWidgetItem* top = outline.topLevelItem(0);
        top->addChild(top->takeChild(0));
        state.ResumeTiming();
        Outline::RenumberRows(&outline);
    }
    state.SetComplexityN(state.range(0));
}

// One add, one delete and one move in a classifier window of n items, as the user does them.
void BM_WindowEdits(benchmark::State& state)
{
    AppContext context;
    context.Settings.TitleTime = 0;  // no splash
    auto generated = projectWith(static_cast<int>(state.range(0)));
    // Move the generated classifier into the context's project.
    TTreeList* tree = context.MainProject.TreeByIndex(1);
    TTreeList* source = generated->TreeByIndex(1);
    while (source->Count() > 0)
        tree->Append(source->TakeAt(0));
    MainWindow window(context);
    ClassifierWindow* classifier = window.OpenClassifier(1);
    QTreeWidget* outline = classifier->Outline1;
    for (auto _ : state) {
        QTreeWidgetItem* top = outline->topLevelItem(0);
        outline->setCurrentItem(top->child(0));
        TTreeList* item = ProjectEdits::AddItem(Outline::ItemOf(top->child(0)), "new");
        auto* row = new QTreeWidgetItem(QStringList(QString::fromStdString(item->LineText())));
        row->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
        top->child(0)->addChild(row);
        Outline::MoveItemRow(outline, top->child(0), top->child(1));
        Outline::RenumberRows(outline);
        delete row;
        ProjectEdits::DeleteItem(item);
        Outline::RenumberRows(outline);
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_FillOutline)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenumberRows)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowEdits)->Arg(20000)->Unit(benchmark::kMillisecond);
