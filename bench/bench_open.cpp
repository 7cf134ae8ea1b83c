// Opening a project of 10^6 items the way File → Open does (the file name answered by the fake
// prompts), then showing its four classifier windows and the grid of classifiers 1 and 4, until
// the event loop is idle: what a user waits for after choosing a large file.
//
// ORMELIT_OPEN_ITEMS overrides the size (for a profile of one run under callgrind:
// valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*openAndShow*' ...).

#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/mainwindow.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/kit/appcontext.h"
#include "gui/projection/projectionwindow.h"
#include "projectgen.h"
#include "support/fakeprompts.h"

using namespace orm;

namespace {

int itemCount(int fallback)
{
    const QByteArray items = qgetenv("ORMELIT_OPEN_ITEMS");
    return items.isEmpty() ? fallback : items.toInt();
}

std::string writeProject(int items)
{
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("ormelit-bench-open-" + std::to_string(items) + ".ovx"))
                                 .string();
    std::ofstream(path, std::ios::binary) << bench::GenerateProject(items)->ProjectFileText();
    return path;
}

// Until nothing is pending: posted events, deferred deletes, layouts and paints.
void untilIdle()
{
    for (int round = 0; round < 3; ++round) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Not inlined, so that a profile can be limited to it.
[[gnu::noinline]] void openAndShow(MainWindow& window, test::FakePrompts& prompts,
                                   const std::string& path)
{
    prompts.queueOpen(path);
    window.FileOpen1->trigger();
    window.OpenClassifier(2);
    window.OpenClassifier(3);
    // Classifiers 1 and 4 with their grid below them.
    benchmark::DoNotOptimize(window.OpenProjection(1));
    untilIdle();
}

void BM_GuiOpen(benchmark::State& state)
{
    const int items = itemCount(static_cast<int>(state.range(0)));
    const std::string path = writeProject(items);
    AppContext context;
    context.Settings.TitleTime = 0;  // no splash
    test::FakePrompts prompts;
    MainWindow window(context, &prompts);
    window.resize(1280, 960);
    window.show();
    untilIdle();
    for (auto _ : state) {
        openAndShow(window, prompts, path);
        state.PauseTiming();
        if (window.ChildWindows().size() != 5 || context.MainProject.TreeByIndex(1)->Count() == 0)
            state.SkipWithError("the project or its windows did not open");
        // The next round opens into an empty project, as a first open does.
        window.FileNew1->trigger();
        untilIdle();
        state.ResumeTiming();
    }
    state.counters["items"] = items;
    std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_GuiOpen)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
