// Report 1 with all levels on projects of 10^3..10^5 items in both formats; loading the plain
// text of the largest into a QTextDocument, as a viewer would; and opening the parameter dialog
// of a unit report, whose item selector holds every structural unit.

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextDocument>
#include <map>

#include "core/prompts/prompts.h"
#include "core/report/reportgen.h"
#include "format/textcodec.h"
#include "gui/report/reportparamdialog.h"
#include "projectgen.h"
#include "support/decliningprompts.h"

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

const std::string& reportText(int items)
{
    static std::map<int, std::string> texts;
    auto& t = texts[items];
    if (t.empty())
        t = GenerateReport(projectOf(items), 1, {}, {false, false}).Document.Bytes;
    return t;
}

void BM_Report1(benchmark::State& state)
{
    TMainTreeList& project = projectOf(static_cast<int>(state.range(0)));
    const ReportOptions options{state.range(1) != 0, false};
    size_t bytes = 0;
    for (auto _ : state) {
        ReportOutcome out = GenerateReport(project, 1, {}, options);
        bytes = out.Document.Bytes.size();
        benchmark::DoNotOptimize(out);
    }
    state.counters["doc_MB"] = static_cast<double>(bytes) / 1e6;
    state.SetComplexityN(state.range(0));
}

void BM_ConvertText(benchmark::State& state)
{
    const std::string& text = reportText(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(FromCp1251(text));
}

// The text as the viewer receives it, converted and set; the layout is left to the view.
void BM_SetPlainText(benchmark::State& state)
{
    const std::string& text = reportText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QTextDocument document;
        document.setPlainText(FromCp1251(text));
        benchmark::DoNotOptimize(document.blockCount());
    }
}

// The same with the whole layout done at a page width, which a view does before it can show
// the scroll bar.
void BM_SetPlainTextAndLayout(benchmark::State& state)
{
    const std::string& text = reportText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QTextDocument document;
        document.setPlainText(FromCp1251(text));
        document.setTextWidth(700);
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
    }
}


void BM_ParamDialog(benchmark::State& state)
{
    TMainTreeList& project = projectOf(static_cast<int>(state.range(0)));
    ReportParamRows rows;
    Metamodel().ReportParams(3, rows);
    test::DecliningPrompts prompts;
    for (auto _ : state) {
        ReportParamDialog dialog;
        benchmark::DoNotOptimize(dialog.Build(project, rows, prompts));
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_Report1)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->ArgNames({"items", "rtf"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertText)->Arg(100000)->ArgName("items")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetPlainText)->Arg(100000)->ArgName("items")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetPlainTextAndLayout)->Arg(100000)->ArgName("items")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParamDialog)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->ArgName("items")
    ->Unit(benchmark::kMillisecond);
