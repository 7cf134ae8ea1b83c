#include <gtest/gtest.h>

#include <algorithm>

#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/report/reportgen.h"
#include "reporttest.h"

using namespace orm;
using namespace orm::test;

namespace {

std::string c(const char* utf8)
{
    return ToCp1251(utf8);
}

// Закупки and Заказ are each bound to two units; Бухгалтерия to nothing.
struct Company {
    TMainTreeList project;
    Company()
    {
        project.SetName(c("ООО Ромашка"));
        Populate(project,
                 "1.1 Розница, 1.2 Опт, 2.1 Закупки, 2.1.1 Заказ, 2.2 Продажи, 3.1 Планирование,"
                 "4.1 Дирекция, 4.1.1 Отдел закупок, 4.1.1.1 Склад, 4.1.2 Отдел продаж,"
                 "4.2 Бухгалтерия",
                 "1.1 4.1.2, 1.2 4.1, 2.1 4.1.1, 2.1 4.1.2, 2.1.1 4.1.1.1, 2.1.1 4.1.2,"
                 "2.2 4.1.2, 3.1 4.1");
    }
    TTreeList* at(const char* number) { return project.FindByNumber(number); }
};

// All ten classifiers, for the strategic reports.
struct Strategy {
    TTreeList root;
    Strategy()
    {
        root.SetName(c("Стратегия-2030"));
        for (int k = 1; k <= 10; ++k)
            root.AddChild(Metamodel().DisplayName(k, ResKind::Classifier));
        Populate(root,
                 "1.1 Розница, 2.1 Закупки, 3.1 Планирование, 4.1 Дирекция, 5.1 Рост рынка,"
                 "5.1.1 Экспорт, 5.1.1.1 Азия, 5.2 Субсидии, 6.1 Конкуренты, 7.1 Бренд,"
                 "8.1 Долги, 9.1 Расширение, 10.1 Доля рынка",
                 "7.1 5.1, 7.1 6.1, 8.1 6.1, 8.1 5.1.1.1, 8.1 5.2, 9.1 5.1, 9.1 7.1, 9.1 10.1,"
                 "9.1 4.1, 10.1 1.1, 10.1 2.1, 10.1 4.1");
    }
};

// The metamodel's rows for all twelve reports (the configuration in use offers four).
class AllReports : public TStructRes14 {
public:
    int KindCount(ResKind kind) const override
    {
        return kind == ResKind::Report ? 12 : TStructRes14::KindCount(kind);
    }
};

// Report n as (RTF, plain text), from the dialog's preset rows changed by edit.
template <typename Edit>
std::pair<std::string, std::string> build(TTreeList& project, int n, Edit edit, bool info = false)
{
    static const AllReports meta;
    std::pair<std::string, std::string> docs;
    for (const bool rtf : {true, false}) {
        TReportObj report(project, meta);
        std::string message;
        EXPECT_EQ(report.PrepareParameters(n, message), ReportFault::None);
        edit(report.Params());
        EXPECT_TRUE(report.BuildReport(n, {rtf, info}));
        (rtf ? docs.first : docs.second) = report.TakeDocument().Bytes;
        // Streamed, the same bytes.
        StringSink sink;
        EXPECT_TRUE(report.BuildReport(n, {rtf, info}, sink));
        EXPECT_TRUE(report.TakeDocument().Bytes.empty());
        EXPECT_EQ(sink.Text, rtf ? docs.first : docs.second);
    }
    return docs;
}

void noEdit(ReportParamRows&) {}

void expectDocuments(const std::pair<std::string, std::string>& docs, const Paras& paras)
{
    EXPECT_EQ(docs.first, ExpectedRtf(paras));
    EXPECT_EQ(docs.second, ExpectedText(paras));
}

// True when want occurs as consecutive lines of the plain-text document.
bool hasLines(const std::string& text, const std::vector<std::string>& want)
{
    const auto lines = TextLines(text);
    return std::search(lines.begin(), lines.end(), want.begin(), want.end()) != lines.end();
}

}  // namespace

TEST(ReportChoices, SelectorsFollowRowModes)
{
    Company co;
    ReportParam row{1, 4, c("Структурные звенья")};
    const ItemList whole = StartChoices(co.project, row);
    ASSERT_EQ(whole.size(), 6u);
    EXPECT_EQ(ToUtf8(whole[0].Text), "4 Структурные звенья");
    EXPECT_EQ(ToUtf8(whole[3].Text), "4.1.1.1 Склад");
    row.Mode = 2;
    EXPECT_EQ(StartChoices(co.project, row).front().Item, co.at("4.1"));
    row.Mode = 3;
    EXPECT_EQ(ToUtf8(StartChoices(co.project, row).front().Text), "Все");

    EXPECT_EQ(LevelChoiceCount(*co.at("4")), 3);
    EXPECT_EQ(LevelChoiceCount(*co.at("4.2")), 1);
    EXPECT_EQ(LevelChoiceCount(*TMainTreeList().TreeByIndex(4)), 0);
    EXPECT_EQ(LevelChoiceTexts(*co.at("4.1.1")), (std::vector<std::string>{c("Все"), "1", "2"}));
}

TEST(ReportGen, OrganisationWholeListsCompleteClassifiers)
{
    Company co;
    const char* processes = "Основные и обеспечивающие процессы/функции:";
    expectDocuments(
        build(co.project, 1, noEdit),
        {{1, "Положение об организационной структуре"}, {2, "(расширенное)"}, {3, "ООО Ромашка"},
         {4, ""}, {4, "I. Бизнес-направления"}, {5, "1.1 Розница"}, {5, "1.2 Опт"},
         {4, ""}, {4, "II. Основные и обеспечивающие процессы/функции"},
         {5, "2.1 Закупки"}, {6, "2.1.1 Заказ"}, {5, "2.2 Продажи"},
         {4, ""}, {4, "III. Процессы/функции управления"}, {5, "3.1 Планирование"},
         {4, ""}, {4, "IV. Перечень структурных звеньев"},
         {5, "4.1 Дирекция"}, {6, "4.1.1 Отдел закупок"}, {7, "4.1.1.1 Склад"},
         {6, "4.1.2 Отдел продаж"}, {5, "4.2 Бухгалтерия"},
         {4, ""},
         {4, "V. Распределение бизнес-направлений и процессов/функций по структурным звеньям"},
         {5, "4.1 Дирекция"}, {8, "Бизнес-направления:"}, {9, "1.2 Опт"},
         {8, "Процессы/функции управления:"}, {9, "3.1 Планирование"},
         {5, "4.1.1 Отдел закупок"}, {8, processes}, {9, "2.1 Закупки"},
         {5, "4.1.1.1 Склад"}, {8, processes}, {9, "2.1.1 Заказ"},
         {5, "4.1.2 Отдел продаж"}, {8, "Бизнес-направления:"}, {9, "1.1 Розница"},
         {8, processes}, {9, "2.1 Закупки"}, {9, "2.1.1 Заказ"}, {9, "2.2 Продажи"},
         {5, "4.2 Бухгалтерия"}});
}

TEST(ReportGen, OrganisationWithLevelsListsOnlyItemsLinkedInScope)
{
    Company co;
    const std::string one = build(co.project, 1, [](auto& r) { r[0].Levels = 1; }, true).second;
    EXPECT_TRUE(hasLines(one, {"ООО Ромашка", "", "Параметры отчета",
                               "  Классификатор : Структурные звенья",
                               "    Начальный элемент : 4 Структурные звенья",
                               "    Уровни детализации : 1", "", "I. Бизнес-направления",
                               "  1.2 Опт", "", "II. Основные и обеспечивающие процессы/функции",
                               "", "III. Процессы/функции управления", "  3.1 Планирование", "",
                               "IV. Перечень структурных звеньев", "  4.1 Дирекция",
                               "  4.2 Бухгалтерия", ""}));

    // The simple variant drops the business directions, also from the last heading.
    const std::string two = build(co.project, 2, [](auto& r) { r[0].Levels = 2; }).second;
    EXPECT_TRUE(hasLines(two, {"(простое)", "ООО Ромашка", "",
                               "I. Основные и обеспечивающие процессы/функции", "  2.1 Закупки",
                               "  2.1.1 Заказ", "  2.2 Продажи"}));
    EXPECT_TRUE(hasLines(two, {"", "IV. Распределение процессов/функций по структурным звеньям",
                               "  4.1 Дирекция", "    Процессы/функции управления:",
                               "      3.1 Планирование", "  4.1.1 Отдел закупок"}));
}

TEST(ReportGen, UnitWithoutLinksAndWithoutName)
{
    Company co;
    co.at("4.2")->SetName("");
    expectDocuments(
        build(co.project, 3, [&co](auto& r) { r[0].StartItem = co.at("4.2"); }),
        {{1, "Положение о структурном подразделении"}, {2, "(расширенное)"}, {3, "ООО Ромашка"},
         {4, ""}, {4, "I. Бизнес-направления"},
         {4, ""}, {4, "II. Основные и обеспечивающие процессы/функции"},
         {4, ""}, {4, "III. Процессы/функции управления"},
         {4, ""}, {4, "IV. Перечень структурных звеньев"}, {5, "4.2 "},
         {4, ""},
         {4, "V. Распределение бизнес-направлений и процессов/функций по структурным звеньям"},
         {5, "4.2 "}});
}

TEST(ReportGen, ActivityKeepsUnitsAndProcessesInScope)
{
    Company co;
    const char* mine = "Процессы/функции внутрифирменной деятельности:";
    expectDocuments(
        build(co.project, 5, [&co](auto& r) { r[0].StartItem = co.at("2.1"); }),
        {{1, "Положение о внутрифирменной деятельности (основной и обеспечивающей)"},
         {3, "Закупки"},
         {4, ""}, {4, "I. Процессы/функции внутрифирменной деятельности"},
         {5, "2.1 Закупки"}, {6, "2.1.1 Заказ"},
         {4, ""},
         {4, "II. Перечень структурных звеньев, участвующих в процессах/функциях "
             "внутрифирменной деятельности"},
         {5, "4.1.1 Отдел закупок"}, {5, "4.1.1.1 Склад"}, {5, "4.1.2 Отдел продаж"},
         {4, ""},
         {4, "III. Распределение ответственности структурных звеньев за процессы/функции "
             "внутрифирменной деятельности"},
         {5, "2.1 Закупки"}, {8, "Структурные звенья:"},
         {9, "4.1.1 Отдел закупок"}, {9, "4.1.2 Отдел продаж"},
         {5, "2.1.1 Заказ"}, {8, "Структурные звенья:"},
         {9, "4.1.1.1 Склад"}, {9, "4.1.2 Отдел продаж"},
         {4, ""},
         {4, "IV. Распределение процессов/функций внутрифирменной деятельности по "
             "структурным звеньям"},
         {5, "4.1.1 Отдел закупок"}, {8, mine}, {9, "2.1 Закупки"},
         {5, "4.1.1.1 Склад"}, {8, mine}, {9, "2.1.1 Заказ"},
         {5, "4.1.2 Отдел продаж"}, {8, mine}, {9, "2.1 Закупки"}, {9, "2.1.1 Заказ"}});

    const std::string top = build(co.project, 5, [&co](auto& r) {
                                r[0].StartItem = co.at("2.1");
                                r[0].Levels = 1;
                            }).second;
    EXPECT_EQ(top.find(c("Заказ")), std::string::npos);
    EXPECT_EQ(top.find(c("Склад")), std::string::npos);
}

TEST(ReportGen, SwotListsRespectRowLevels)
{
    Strategy s;
    expectDocuments(build(s.root, 7, [](auto& r) { r[0].Levels = 2; }),
                    {{1, "Отчет о SWOT - анализе"}, {3, "Стратегия-2030"},
                     {4, ""}, {4, "I. Возможности внешней среды"},
                     {5, "5.1 Рост рынка"}, {6, "5.1.1 Экспорт"}, {5, "5.2 Субсидии"},
                     {4, ""}, {4, "II. Угрозы внешней среды"}, {5, "6.1 Конкуренты"},
                     {4, ""}, {4, "III. Сильные стороны компании"}, {5, "7.1 Бренд"},
                     {4, ""}, {4, "IV. Слабые стороны компании"}, {5, "8.1 Долги"}});
}

TEST(ReportGen, CorrelationFieldsPairMasterWithDetails)
{
    Strategy s;
    const char *opp = "Возможности внешней среды", *thr = "Угрозы внешней среды";
    const char *str = "Сильные стороны компании", *weak = "Слабые стороны компании";
    auto cap = [](const char* name) { return Para{8, std::string(name) + ":"}; };
    const auto docs = build(s.root, 8, noEdit);
    expectDocuments(
        docs,
        {{1, "Отчет по Корреляционной матрице"}, {3, "Стратегия-2030"},
         {4, ""}, {4, "I. Поле Сильные стороны/Возможности (SO)"},
         {4, opp}, {5, "5.1 Рост рынка"}, cap(str), {9, "7.1 Бренд"},
         {5, "5.1.1 Экспорт"}, {5, "5.1.1.1 Азия"}, {5, "5.2 Субсидии"},
         {4, str}, {5, "7.1 Бренд"}, cap(opp), {9, "5.1 Рост рынка"},
         {4, ""}, {4, "II. Поле Сильные стороны/Угрозы (ST)"},
         {4, thr}, {5, "6.1 Конкуренты"}, cap(str), {9, "7.1 Бренд"},
         {4, str}, {5, "7.1 Бренд"}, cap(thr), {9, "6.1 Конкуренты"},
         {4, ""}, {4, "III. Поле Слабые стороны/Возможности (WO)"},
         {4, opp}, {5, "5.1 Рост рынка"}, {5, "5.1.1 Экспорт"},
         {5, "5.1.1.1 Азия"}, cap(weak), {9, "8.1 Долги"},
         {5, "5.2 Субсидии"}, cap(weak), {9, "8.1 Долги"},
         {4, weak}, {5, "8.1 Долги"}, cap(opp), {9, "5.1.1.1 Азия"}, {9, "5.2 Субсидии"},
         {4, ""}, {4, "IV. Поле Слабые стороны/Угрозы (WT)"},
         {4, thr}, {5, "6.1 Конкуренты"}, cap(weak), {9, "8.1 Долги"},
         {4, weak}, {5, "8.1 Долги"}, cap(thr), {9, "6.1 Конкуренты"}});

    // One level on a classifier's tree node keeps its top items only, as master and as detail.
    const std::string top = build(s.root, 8, [](auto& r) { r[0].Levels = 1; }).second;
    EXPECT_TRUE(hasLines(top, {opp, "  5.1 Рост рынка", "  5.2 Субсидии",
                               "    Слабые стороны компании:", "      8.1 Долги", weak,
                               "  8.1 Долги", "    Возможности внешней среды:",
                               "      5.2 Субсидии", ""}));
    // With the information on, one parameter block per row.
    const auto lines = TextLines(build(s.root, 8, noEdit, true).second);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("Классификатор : ") == 2; }),
              4);
}

TEST(ReportGen, StrategyReportsSectionsAndCorrespondences)
{
    Strategy s;
    EXPECT_TRUE(hasLines(build(s.root, 9, noEdit).second,
                         {"III. Соответствие стратегических целей и стратегий", "Стратегии",
                          "  9.1 Расширение", "    Стратегические цели:", "      10.1 Доля рынка",
                          "Стратегические цели", "  10.1 Доля рынка", "    Стратегии:",
                          "      9.1 Расширение"}));

    const std::string r10 = build(s.root, 10, noEdit).second;
    for (const char* heading :
         {"I. Возможности внешней среды", "II. Угрозы внешней среды",
          "III. Сильные стороны компании", "IV. Слабые стороны компании", "V. Стратегии",
          "VI. Соответствие стратегий возможностям, угрозам, сильным и слабым сторонам"})
        EXPECT_TRUE(hasLines(r10, {"", heading})) << heading;
    EXPECT_TRUE(hasLines(r10, {"Стратегии", "  9.1 Расширение", "    Возможности внешней среды:",
                               "      5.1 Рост рынка", "    Сильные стороны компании:",
                               "      7.1 Бренд", "Возможности внешней среды"}));

    EXPECT_TRUE(hasLines(build(s.root, 11, noEdit).second,
                         {"", "V. Соответствие Стратегических целей и Операционной деятельности",
                          "Стратегические цели", "  10.1 Доля рынка", "    Бизнес-направления:",
                          "      1.1 Розница", "    Основные и обеспечивающие процессы/функции:",
                          "      2.1 Закупки", "Бизнес-направления"}));

    const std::string r12 = build(s.root, 12, noEdit).second;
    EXPECT_TRUE(hasLines(r12, {"III. Перечень структурных звеньев", "  4.1 Дирекция", "",
                               "IV. Распределение ответственности за реализацию стратегий и "
                               "стратегических целей"}));
    EXPECT_TRUE(hasLines(r12, {"Структурные звенья", "  4.1 Дирекция", "    Стратегии:",
                               "      9.1 Расширение", "    Стратегические цели:",
                               "      10.1 Доля рынка"}));
}

TEST(ReportGen, AStreamedDocumentIsTheWholeOneInBlocks)
{
    // Large enough for many blocks, with names that RTF escapes.
    TMainTreeList project;
    TTreeList* units = project.TreeByIndex(4);
    for (int i = 0; i < 3000; ++i) {
        TTreeList* unit = units->AddChild(c("Отдел {") + std::to_string(i) + "}\\");
        TTreeList* direction = project.TreeByIndex(1)->AddChild(c("Направление ") + std::to_string(i));
        for (int j = 0; j < 3; ++j)
            unit->AddChild(c("Группа ") + std::to_string(j))->Link(direction);
    }
    const auto docs = build(project, 1, noEdit);
    EXPECT_GT(docs.first.size(), 3u * 256 * 1024);
}
