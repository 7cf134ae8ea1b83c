// Making a report with progress: the sections written of all, in every report; a cancel leaves
// no document, and the command then shows and says nothing.

#include <gtest/gtest.h>

#include "core/model/project.h"
#include "core/report/reportgen.h"
#include "reporttest.h"
#include "support/fakeprompts.h"
#include "support/progressrecorder.h"

using namespace orm;
using namespace orm::test;

TEST(ReportProgress, EveryReportClimbsThroughItsSectionsAndACancelLeavesNothing)
{
    struct AllReports : TStructRes14 {
        int KindCount(ResKind kind) const override
        {
            return kind == ResKind::Report ? 12 : TStructRes14::KindCount(kind);
        }
    } meta;
    // Ten classifiers of a few thousand items, each linked to the one before: long sections.
    TTreeList root;
    for (int k = 1; k <= 10; ++k) {
        TTreeList* tree = root.AddChild(Metamodel().DisplayName(k, ResKind::Classifier));
        TTreeList* top = tree->AddChild("t");
        for (int i = 0; i < 3000; ++i) {
            TTreeList* item = top->AddChild("item");
            if (k > 1)
                item->Link(root.Child(k - 2)->Child(0)->Child(i));
        }
    }
    for (int n = 1; n <= kReportCount; ++n) {
        SCOPED_TRACE(n);
        TReportObj report(root, meta);
        std::string message;
        ASSERT_EQ(report.PrepareParameters(n, message), ReportFault::None);
        ProgressRecorder whole;
        ASSERT_TRUE(report.BuildReport(n, {false, true}, whole.Callback()));
        const std::string text = report.TakeDocument().Bytes;
        uint64_t sections = 0;  // headings "I. ...", "II. ..."
        for (const std::string& line : TextLines(text)) {
            const size_t numeral = line.find_first_not_of("IVX");
            sections += numeral > 0 && numeral != std::string::npos && line[numeral] == '.';
        }
        whole.ExpectClimbsTo(sections);
        EXPECT_GT(whole.calls.size(), sections);  // within sections too

        for (const size_t cancelAt : {size_t{1}, whole.calls.size() / 2, whole.calls.size()}) {
            ProgressRecorder cancelling{{}, cancelAt};
            EXPECT_THROW(report.BuildReport(n, {false, true}, cancelling.Callback()),
                         WorkCancelled);
            EXPECT_TRUE(report.TakeDocument().Bytes.empty());
            StringSink sink;  // and the object is fit for the next report
            EXPECT_TRUE(report.BuildReport(n, {false, true}, sink));
            EXPECT_EQ(sink.Text, text);
        }
    }
}

TEST(ReportProgress, ACancelledReportCommandShowsAndSaysNothing)
{
    TMainTreeList project;
    Populate(project, "2.1 Закупки, 4.1 Дирекция", "2.1 4.1");
    struct Ui : ReportUi {
        int shown = 0;
        bool AskParameters(int, TTreeList&, ReportParamRows&) override { return true; }
        void ShowReport(const ReportDocument&) override { ++shown; }
    } ui;
    FakePrompts prompts;
    prompts.workProgress = [](uint64_t, uint64_t) { return false; };
    MakeReport(1, project, {true, false}, ui, prompts);
    EXPECT_EQ(ui.shown, 0);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(prompts.works, std::vector<std::string>{"Формирование отчёта…"});
}
