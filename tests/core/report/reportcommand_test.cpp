#include <gtest/gtest.h>

#include <functional>

#include "core/model/project.h"
#include "core/report/reportgen.h"
#include "reporttest.h"
#include "support/fakeprompts.h"

using namespace orm;
using namespace orm::test;

namespace {

const char kUnitReportFails[] =
    "Отчет : Положение о структурном подразделении (расширенное)\nНе работает!";

struct Small {
    TMainTreeList project;
    Small()
    {
        project.SetName("P");
        Populate(project, "2.1 Закупки, 4.1 Дирекция, 4.1.1 Склад, 4.2 Бухгалтерия", "2.1 4.1.1");
    }
};

// The dialog and the viewer: answer() decides, everything asked and shown is kept.
struct FakeUi : ReportUi {
    std::function<bool(ReportParamRows&)> answer = [](ReportParamRows&) { return true; };
    std::vector<ReportParamRows> asked;
    std::vector<ReportDocument> shown;
    bool AskParameters(int, TTreeList&, ReportParamRows& rows) override
    {
        asked.push_back(rows);
        return answer(rows);
    }
    void ShowReport(const ReportDocument& document) override { shown.push_back(document); }
};

}  // namespace

TEST(MakeReport, AsksBuildsAndShowsInTheChosenFormat)
{
    Small s;
    FakeUi ui;
    FakePrompts prompts;
    MakeReport(3, s.project, {true, false}, ui, prompts);
    ASSERT_EQ(ui.asked.size(), 1u);
    const ReportParam& row = ui.asked[0][0];
    EXPECT_EQ(row.Mode, 2);
    EXPECT_EQ(row.Classifier, 4);
    EXPECT_EQ(ToUtf8(row.Caption), "Структурные звенья");
    EXPECT_EQ(row.StartItem, s.project.FindByNumber("4.1"));  // the first unit is preselected
    EXPECT_EQ(ui.asked[0][1].Mode, 0);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_TRUE(ui.shown[0].IsRtf);
    EXPECT_EQ(ToUtf8(ui.shown[0].Caption),
              "Положение о структурном подразделении (расширенное).RTF");
    EXPECT_EQ(ui.shown[0].Bytes.rfind(kExpectedFragments[0], 0), 0u);

    ui.answer = [&s](ReportParamRows& rows) {
        rows[0].StartItem = s.project.FindByNumber("4.2");
        return true;
    };
    MakeReport(4, s.project, {false, false}, ui, prompts);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_FALSE(ui.shown[1].IsRtf);
    EXPECT_EQ(ToUtf8(ui.shown[1].Caption), "Положение о структурном подразделении (простое).TXT");
    EXPECT_EQ(TextLines(ui.shown[1].Bytes)[2], "Бухгалтерия");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST(MakeReport, NothingIsShownWhenCancelledOrImpossible)
{
    Small s;
    TMainTreeList empty, other;
    TTreeList* foreign = other.TreeByIndex(4)->AddChild("x");
    FakeUi ui;
    FakePrompts prompts;
    ui.answer = [](ReportParamRows&) { return false; };
    MakeReport(1, s.project, {}, ui, prompts);
    EXPECT_TRUE(prompts.shown.empty());

    // Nothing to ask: beyond the configured reports, outside the name tables, no units.
    for (const int n : {5, 13, 0})
        MakeReport(n, s.project, {}, ui, prompts);
    MakeReport(3, empty, {}, ui, prompts);
    EXPECT_EQ(ui.asked.size(), 1u);

    // A dialog that leaves no usable start item: none, another project's, another classifier's.
    for (TTreeList* start : {static_cast<TTreeList*>(nullptr), foreign,
                             s.project.FindByNumber("2.1")}) {
        ui.answer = [start](ReportParamRows& rows) {
            rows[0].StartItem = start;
            return true;
        };
        MakeReport(3, s.project, {}, ui, prompts);
    }
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(prompts.informs(),
              (std::vector<std::string>{"Отчет : Положение о внутрифирменной деятельности "
                                        "(основной и обеспечивающей)\nНе работает!",
                                        "Отчет : -\nНе работает!", "Отчет : \nНе работает!",
                                        "Не заданы Структурные звенья!", kUnitReportFails,
                                        kUnitReportFails, kUnitReportFails}));
}

TEST(GenerateReport, ChoicesDefaultToTheDialogsFirstEntries)
{
    Small s;
    const ReportOutcome preset = GenerateReport(s.project, 3, {}, {false, true});
    ASSERT_EQ(preset.Fault, ReportFault::None);
    const auto lines = TextLines(preset.Document.Bytes);
    EXPECT_EQ(lines[6], "    Начальный элемент : 4.1 Дирекция");
    EXPECT_EQ(lines[7], "    Уровни детализации : Все");

    const ReportOutcome chosen = GenerateReport(s.project, 3, {{"4.1", 1}}, {});
    ASSERT_EQ(chosen.Fault, ReportFault::None);
    EXPECT_EQ(chosen.Document.Bytes.find(ToCp1251("Склад")), std::string::npos);
    EXPECT_EQ(GenerateReport(s.project, 1, {{"4", 2}}, {}).Fault, ReportFault::None);
}

TEST(GenerateReport, ChoicesTheDialogCannotMakeAreRefused)
{
    Small s;
    const std::pair<ParamChoice, const char*> unitCases[] = {
        {{"4.9", 0}, "parameter 1: there is no item numbered 4.9"},
        {{"4.", 0}, "parameter 1: there is no item numbered 4."},
        {{"0", 0}, "parameter 1: there is no item numbered 0"},
        {{"abc", 0}, "parameter 1: there is no item numbered abc"},
        {{"2.1", 0}, "parameter 1: 2.1 is not in classifier 4 (Структурные звенья)"},
        {{"4", 0}, "parameter 1: choose one item of classifier 4"},
        {{"4.1", 3}, "parameter 1: levels must be 0 (all) to 2 for 4.1"},
    };
    for (const auto& [choice, message] : unitCases) {
        const ReportOutcome out = GenerateReport(s.project, 3, {choice}, {});
        EXPECT_EQ(out.Fault, ReportFault::BadChoice) << message;
        EXPECT_EQ(ToUtf8(out.Message), message);
    }
    EXPECT_EQ(GenerateReport(s.project, 1, {{"4.1", 0}}, {}).Message,
              "parameter 1: the report takes the whole classifier 4");
    EXPECT_EQ(GenerateReport(s.project, 1, {{"", -1}}, {}).Message,
              "parameter 1: levels must be 0 (all) to 2 for 4");
    EXPECT_EQ(GenerateReport(s.project, 3, {{}, {}}, {}).Message,
              "report 3 takes 1 parameter(s), 2 given");
    EXPECT_EQ(GenerateReport(s.project, 7, {}, {}).Fault, ReportFault::NotWorking);
}
