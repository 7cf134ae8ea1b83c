// Opening a projection grid of 5 000 columns x 2 000 rows with 10 000 bindings, against opening
// a grid of one cell; drawing its visible cells; toggling a binding.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMdiSubWindow>
#include <QTableView>
#include <random>

#include "app/mainwindow.h"
#include "gui/kit/appcontext.h"
#include "gui/projection/projectionwindow.h"

using namespace orm;

namespace {

void fillProject(TMainTreeList& project, int columns, int rows, int bindings)
{
    std::vector<TTreeList*> a, b;
    TTreeList* t1 = project.TreeByIndex(1);
    TTreeList* t4 = project.TreeByIndex(4);
    for (int i = 0; i < columns; ++i) {
        TTreeList* parent = i % 50 == 0 || a.empty() ? t1 : a[static_cast<size_t>(i / 50 * 50)];
        a.push_back(parent->AddChild("Direction " + std::to_string(i)));
    }
    for (int i = 0; i < rows; ++i)
        b.push_back(t4->AddChild("Unit " + std::to_string(i)));
    std::mt19937 rng(3);
    for (int i = 0; i < bindings; ++i) {
        TTreeList* x = a[rng() % a.size()];
        TTreeList* y = b[rng() % b.size()];
        if (!x->IsLinkedWith(y))
            x->Link(y);
    }
    project.SetModified(false);
}

void openGrid(benchmark::State& state, int columns, int rows, int bindings)
{
    AppContext context;
    context.Settings.TitleTime = 0;  // no splash
    fillProject(context.MainProject, columns, rows, bindings);
    context.Settings.GridSelectUnbind = true;
    MainWindow window(context);
    window.resize(1200, 900);
    window.show();
    for (auto _ : state) {
        ProjectionWindow* grid = window.OpenProjection(1);
        // Drawn once, as the screen shows it.
        grid->StringGrid1->viewport()->grab();
        state.PauseTiming();
        window.ResetWindows();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_OpenOneCellGrid(benchmark::State& state)
{
    openGrid(state, 1, 1, 0);
}

void BM_OpenLargeGrid(benchmark::State& state)
{
    openGrid(state, 5000, 2000, 10000);
}

void BM_ScrollAndToggleLargeGrid(benchmark::State& state)
{
    AppContext context;
    context.Settings.TitleTime = 0;  // no splash
    fillProject(context.MainProject, 5000, 2000, 10000);
    context.Settings.GridSelectUnbind = true;
    MainWindow window(context);
    window.resize(1200, 900);
    window.show();
    ProjectionWindow* grid = window.OpenProjection(1);
    int step = 0;
    for (auto _ : state) {
        const QModelIndex cell = grid->Model()->index((step * 37) % 2000, (step * 91) % 5000);
        grid->StringGrid1->setCurrentIndex(cell);
        grid->StringGrid1->scrollTo(cell);
        grid->ToggleBinding();
        grid->StringGrid1->viewport()->grab();
        ++step;
    }
}

}  // namespace

BENCHMARK(BM_OpenOneCellGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenLargeGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollAndToggleLargeGrid)->Unit(benchmark::kMillisecond);
