// Reading and writing project files of 10^3..10^5 items, against the raw limit: reading the
// same file's lines and writing them back unchanged through the same safe-save path.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

#include "core/io/safefile.h"
#include "projectgen.h"

using namespace orm;

namespace {

const std::string& projectFile(int items)
{
    static std::map<int, std::string> files;
    auto it = files.find(items);
    if (it != files.end())
        return it->second;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("ormelit-bench-" + std::to_string(items) + ".ovx"))
                                 .string();
    auto project = bench::GenerateProject(items);
    project->SetFileName(path);
    project->WriteProjectFile();
    return files.emplace(items, path).first->second;
}

std::string outPath(int items)
{
    return (std::filesystem::temp_directory_path() /
            ("ormelit-bench-out-" + std::to_string(items) + ".ovx"))
        .string();
}

void BM_ReadProject(benchmark::State& state)
{
    const std::string& path = projectFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TMainTreeList project;
        benchmark::DoNotOptimize(project.ReadProjectFile(path));
    }
    state.SetComplexityN(state.range(0));
}

void BM_WriteProject(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    TMainTreeList project;
    project.ReadProjectFile(projectFile(items));
    project.SetFileName(outPath(items));
    for (auto _ : state)
        benchmark::DoNotOptimize(project.WriteProjectFile());
    state.SetComplexityN(state.range(0));
}

void BM_ReadWriteProject(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    const std::string& path = projectFile(items);
    for (auto _ : state) {
        TMainTreeList project;
        project.ReadProjectFile(path);
        project.SetFileName(outPath(items));
        benchmark::DoNotOptimize(project.WriteProjectFile());
    }
    state.SetComplexityN(state.range(0));
}

// The floor: the same bytes split into lines and joined again, with the same read and write.
void BM_RawLimit(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    const std::string& path = projectFile(items);
    for (auto _ : state) {
        const std::string bytes = *ReadFileBytes(path);
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r' || bytes[i] == '\n') {
                lines.emplace_back(bytes, start, i - start);
                if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    ++i;
                start = i + 1;
            }
        }
        std::string out;
        for (const auto& line : lines) {
            out += line;
            out += "\r\n";
        }
        benchmark::DoNotOptimize(WriteFileAtomically(outPath(items), out));
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_ReadProject)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteProject)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWriteProject)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLimit)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
