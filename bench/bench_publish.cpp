// Publishing a generated project as a web site, beside making the reports it holds (every
// report of the metamodel as RTF with the dialog's first choices), at 10^3..10^5 items. The site
// figure includes writing every file and flushing the file system once.
//
//   bench_publish [benchmark flags]

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>

#include "core/model/metamodel.h"
#include "core/publish/publish.h"
#include "core/report/reportgen.h"
#include "projectgen.h"

using namespace orm;

namespace {

TMainTreeList& projectOf(int items)
{
    static std::map<int, std::unique_ptr<TMainTreeList>> projects;
    auto& p = projects[items];
    if (!p)
        p = bench::GenerateProject(items);
    return *p;
}

void BM_MakeReports(benchmark::State& state)
{
    TMainTreeList& project = projectOf(static_cast<int>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (int n = 1; n <= Metamodel().KindCount(ResKind::Report); ++n)
            bytes += GenerateReport(project, n, {}, {true, false}).Document.Bytes.size();
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_PublishSite(benchmark::State& state)
{
    TMainTreeList& project = projectOf(static_cast<int>(state.range(0)));
    const auto folder = std::filesystem::temp_directory_path() / "ormelit-bench-site";
    size_t files = 0;
    for (auto _ : state) {
        const PublishOutcome outcome = PublishSite(project, folder.string(), {"01.01.2027"});
        if (outcome.Result != PublishResult::Done)
            state.SkipWithError(outcome.Message.c_str());
        files = outcome.Files;
    }
    state.counters["files"] = static_cast<double>(files);
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_MakeReports)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishSite)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
