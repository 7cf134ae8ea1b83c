// The report viewer opening the largest report (report 1, RTF) of projects of 10^3..10^5 items:
// the time until its first screen is painted, and until the document is complete and laid out
// to its end. Wall-clock times, as the user waits them.

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QTextDocument>
#include <QTextEdit>
#include <map>

#include "core/prompts/prompts.h"
#include "core/report/reportgen.h"
#include "gui/report/reportviewer.h"
#include "projectgen.h"
#include "support/decliningprompts.h"

using namespace orm;

namespace {

const std::string& reportRtf(int items)
{
    static std::map<int, std::string> texts;
    auto& t = texts[items];
    if (t.empty()) {
        const auto project = bench::GenerateProject(items);
        t = GenerateReport(*project, 1, {}, {true, false}).Document.Bytes;
    }
    return t;
}


// Sees the viewport's paint events; processEvents returns only after the one it delivers.
class PaintSpy : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The viewer as ShowReportViewer opens it: loaded, then shown; the clock stops when the first
// paint of the text has been delivered, and (full) when the whole document is there and laid
// out.
double openViewer(const std::string& rtf, bool full)
{
    test::DecliningPrompts prompts;
    QElapsedTimer timer;
    timer.start();
    auto viewer = std::make_unique<ReportViewer>(prompts);
    viewer->resize(1000, 750);
    PaintSpy spy;
    viewer->RichEdit1->viewport()->installEventFilter(&spy);
    viewer->LoadDocument(rtf);
    viewer->show();
    while (spy.paints == 0)
        QCoreApplication::processEvents();
    if (full) {
        viewer->FinishLoading();
        benchmark::DoNotOptimize(viewer->RichEdit1->document()->documentLayout()->documentSize());
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    viewer->RichEdit1->viewport()->removeEventFilter(&spy);
    viewer.reset();
    QCoreApplication::processEvents();
    return seconds;
}

void BM_ViewerFirstScreen(benchmark::State& state)
{
    const std::string& rtf = reportRtf(static_cast<int>(state.range(0)));
    for (auto _ : state)
        state.SetIterationTime(openViewer(rtf, false));
    state.counters["doc_MB"] = static_cast<double>(rtf.size()) / 1e6;
    state.SetComplexityN(state.range(0));
}

void BM_ViewerFullLayout(benchmark::State& state)
{
    const std::string& rtf = reportRtf(static_cast<int>(state.range(0)));
    for (auto _ : state)
        state.SetIterationTime(openViewer(rtf, true));
    state.counters["doc_MB"] = static_cast<double>(rtf.size()) / 1e6;
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_ViewerFirstScreen)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->ArgName("items")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerFullLayout)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->ArgName("items")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
