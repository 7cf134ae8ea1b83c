// Bringing a model in from a spreadsheet: 10^4 pasted lines read and added as one step, and a
// 1000 x 300 binding matrix read from CSV and applied as one step.

#include <benchmark/benchmark.h>

#include "core/exchange/itemtext.h"
#include "core/exchange/matrixcsv.h"
#include "core/model/project.h"
#include "core/text/cp1251.h"

using namespace orm;

namespace {

// Lines as a spreadsheet gives an outline: a top item, then 9 children each, tabs for depth.
std::string pastedLines(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i % 10 != 0)
            text += '\t';
        text += "Подразделение " + std::to_string(i) + "\r\n";
    }
    return text;
}

void BM_PasteLines(benchmark::State& state)
{
    const std::string text = pastedLines(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        TMainTreeList project;
        state.ResumeTiming();
        const ItemTextRead read = ReadItemText(text);
        AddTextItems(project.TreeByIndex(4), read.Items);
        benchmark::DoNotOptimize(project.TreeByIndex(4)->Count());
    }
}

void BM_ImportMatrix(benchmark::State& state)
{
    const int rowCount = static_cast<int>(state.range(0));
    const int columnCount = static_cast<int>(state.range(1));
    TMainTreeList project;
    for (int i = 0; i < columnCount; ++i)
        project.TreeByIndex(1)->AddChild("d" + std::to_string(i));
    for (int i = 0; i < rowCount; ++i)
        project.TreeByIndex(4)->AddChild("u" + std::to_string(i));
    // Every seventh cell bound, as the grid's export writes it.
    std::string csv = "\xEF\xBB\xBFm";
    for (int c = 0; c < columnCount; ++c)
        csv += ";1." + std::to_string(c + 1) + " d";
    csv += "\r\n";
    for (int r = 0; r < rowCount; ++r) {
        csv += "4." + std::to_string(r + 1) + " u";
        for (int c = 0; c < columnCount; ++c)
            csv += (r * columnCount + c) % 7 == 0 ? ";X" : ";";
        csv += "\r\n";
    }
    for (auto _ : state) {
        const MatrixImport import = ReadMatrixCsv(project, 1, 4, csv);
        ApplyMatrix(import);
        state.PauseTiming();
        project.Undo();  // the next round finds the project as the first did
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_PasteLines)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportMatrix)->Args({1000, 300})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
