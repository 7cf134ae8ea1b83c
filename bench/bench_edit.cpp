// Editing a 10^5-item project: what a long undo history holds, and how quickly find goes
// through every classifier.

#include <benchmark/benchmark.h>

#include "core/model/itemsearch.h"
#include "core/model/project.h"
#include "core/model/projectedits.h"
#include "core/text/cp1251.h"
#include "projectgen.h"

using namespace orm;

namespace {

// 1 000 renames and 1 000 deletes of leaves: the history's bytes against the project's items.
void BM_UndoHistoryFootprint(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto project = bench::GenerateProject(items);
        project->History().Clear();
        std::vector<TTreeList*> leaves;
        project->ForEachNode([&leaves](TTreeList* node) {
            if (node->Count() == 0 && node->Parent() && node->Parent()->Parent())
                leaves.push_back(node);
        });
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i)
            ProjectEdits::RenameItem(leaves[size_t(i) % leaves.size()], "n" + std::to_string(i));
        for (int i = 0; i < 1000 && i < int(leaves.size()); ++i)
            ProjectEdits::DeleteItem(leaves[leaves.size() - 1 - size_t(i)]);
        state.counters["history_bytes"] = double(project->History().Footprint());
        state.counters["steps"] = double(project->History().Size());
        state.PauseTiming();
        project.reset();
        state.ResumeTiming();
    }
}

// Finding a name that occurs once, from the first item round to it, in a project read from its
// file as a user's is: its nodes lie in reading order, not where the generator scattered them.
void BM_FindItem(benchmark::State& state)
{
    auto project = std::make_unique<TMainTreeList>();
    project->ReadProjectText(
        bench::GenerateProject(static_cast<int>(state.range(0)))->ProjectFileText());
    TTreeList* last = nullptr;
    project->ForEachNode([&last](TTreeList* node) { last = node; });
    last->SetName(ToCp1251("Единственный склад"));
    for (auto _ : state)
        benchmark::DoNotOptimize(FindItem(*project, ToCp1251("ЕДИНСТВЕННЫЙ"), 0, nullptr, false));
}

}  // namespace

BENCHMARK(BM_UndoHistoryFootprint)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindItem)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
