#include "core/report/reportgen.h"

#include <array>

#include "core/model/cp1251.h"
#include "core/model/prompts.h"

namespace orm {

namespace {

std::string t(const char* utf8)
{
    return ToCp1251(utf8);
}

// A walk from a classifier's tree node starts at its top items: the tree node itself is never
// listed, and detail levels count items.
int startLevel(const TTreeList* node)
{
    return node->Level() == 1 ? 2 : 1;
}

std::string roman(int n)
{
    static constexpr std::pair<int, const char*> kDigits[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"},
        {50, "L"},   {40, "XL"},  {10, "X"},  {9, "IX"},   {5, "V"},   {4, "IV"}, {1, "I"},
    };
    std::string out;
    for (const auto& [value, digits] : kDigits) {
        for (; n >= value; n -= value)
            out += digits;
    }
    return out;
}

// Rows each composition reads, by report number.
constexpr std::array<int, kReportCount> kRowsNeeded = {1, 1, 1, 1, 1, 1, 4, 4, 2, 5, 4, 3};

// The strategic reports (7..12) are sections of parameter trees and correspondences.
struct Step {
    int Row;                       // tree(Row) when Details is empty, else corr(Row; Details)
    std::vector<int> Details;
};
struct Section {
    const char* Title;
    std::vector<Step> Steps;
};

const std::vector<Section>& strategicSections(int n)
{
    static const std::array<std::vector<Section>, 6> kReports = {{
        // 7
        {{"Возможности внешней среды", {{1, {}}}},
         {"Угрозы внешней среды", {{2, {}}}},
         {"Сильные стороны компании", {{3, {}}}},
         {"Слабые стороны компании", {{4, {}}}}},
        // 8
        {{"Поле Сильные стороны/Возможности (SO)", {{1, {3}}, {3, {1}}}},
         {"Поле Сильные стороны/Угрозы (ST)", {{2, {3}}, {3, {2}}}},
         {"Поле Слабые стороны/Возможности (WO)", {{1, {4}}, {4, {1}}}},
         {"Поле Слабые стороны/Угрозы (WT)", {{2, {4}}, {4, {2}}}}},
        // 9
        {{"Стратегии", {{1, {}}}},
         {"Стратегические цели", {{2, {}}}},
         {"Соответствие стратегических целей и стратегий", {{1, {2}}, {2, {1}}}}},
        // 10
        {{"Возможности внешней среды", {{2, {}}}},
         {"Угрозы внешней среды", {{3, {}}}},
         {"Сильные стороны компании", {{4, {}}}},
         {"Слабые стороны компании", {{5, {}}}},
         {"Стратегии", {{1, {}}}},
         {"Соответствие стратегий возможностям, угрозам, сильным и слабым сторонам",
          {{1, {2, 3, 4, 5}}, {2, {1}}, {3, {1}}, {4, {1}}, {5, {1}}}}},
        // 11
        {{"Стратегические цели", {{1, {}}}},
         {"Бизнес-направления", {{2, {}}}},
         {"Основные и обеспечивающие процессы/функции", {{3, {}}}},
         {"Процессы/функции управления", {{4, {}}}},
         {"Соответствие Стратегических целей и Операционной деятельности",
          {{1, {2, 3, 4}}, {2, {1}}, {3, {1}}, {4, {1}}}}},
        // 12
        {{"Стратегии", {{1, {}}}},
         {"Стратегические цели", {{2, {}}}},
         {"Перечень структурных звеньев", {{3, {}}}},
         {"Распределение ответственности за реализацию стратегий и стратегических целей",
          {{1, {3}}, {2, {3}}, {3, {1, 2}}}}},
    }};
    return kReports[static_cast<size_t>(n - 7)];
}

ParaStyle treeLineStyle(int level)
{
    if (level <= 1)
        return ParaStyle::Level1;
    return level == 2 ? ParaStyle::Level2 : ParaStyle::Level3;
}

int leadingRows(const ReportParamRows& rows)
{
    int count = 0;
    while (count < kReportParamRows && rows[static_cast<size_t>(count)].Mode != 0)
        ++count;
    return count;
}

}  // namespace

ItemList StartChoices(TTreeList& project, const ReportParam& row)
{
    TTreeList* tree = project.Root()->TreeByIndex(row.Classifier);
    ItemList list;
    tree->ForEachPreOrder([&list](TTreeList* node, const std::string& number, int) {
        list.push_back({number + " " + node->Name(), node});
    });
    if (row.Mode == 2)
        list.erase(list.begin());
    else if (row.Mode == 3)
        list.front().Text = t("Все");
    return list;
}

int LevelChoiceCount(const TTreeList& start)
{
    return start.SubtreeHeight() - (start.Level() == 1 ? 1 : 0);
}

std::vector<std::string> LevelChoiceTexts(const TTreeList& start)
{
    std::vector<std::string> texts{t("Все")};
    const int n = LevelChoiceCount(start);
    for (int k = 1; k <= n; ++k)
        texts.push_back(std::to_string(k));
    return texts;
}

std::string ReportFailureMessage(int n, const TStructRes& meta)
{
    return t("Отчет : ") + meta.DisplayName(n, ResKind::Report) + t("\nНе работает!");
}

TReportObj::TReportObj(TTreeList& project, const TStructRes& meta)
    : m_root(project.Root()), m_meta(meta)
{
}

ReportFault TReportObj::PrepareParameters(int n, std::string& message)
{
    m_reportNumber = n;
    // Beyond the metamodel's report count there are no rows, and a composition without start
    // items has nothing to read: such a report is refused like an unknown one.
    if (!m_meta.ReportParams(n, m_params) || m_params[0].Mode == 0) {
        message = ReportFailureMessage(n, m_meta);
        return ReportFault::NotWorking;
    }
    for (ReportParam& r : m_params) {
        if (r.Mode == 0)
            break;
        ItemList choices;
        try {
            choices = StartChoices(*m_root, r);
        } catch (const std::exception&) {
            // The project has no tree for this classifier.
            message = ReportFailureMessage(n, m_meta);
            return ReportFault::NotWorking;
        }
        if (choices.empty()) {
            message = t("Не заданы ") + classifierName(r.Classifier) + "!";
            return ReportFault::NoItems;
        }
        r.StartItem = choices.front().Item;
        r.Levels = 0;
    }
    return ReportFault::None;
}

bool TReportObj::BuildReport(int n, const ReportOptions& options)
{
    m_writer.ClearOutput();
    m_document = ReportDocument{};
    m_numbers.clear();
    m_sectionCount = 0;
    m_reportNumber = n;
    m_writer.SetRtf(options.Rtf);
    m_useInformation = options.UseInformation;

    if (m_writer.IsRtf())
        m_writer.WriteRtf(kRtfHead);
    bool composed = false;
    try {
        composed = ComposeReport();
    } catch (const ELoadInvalid&) {
    } catch (const EListError&) {
    } catch (const EScaleInvalid&) {
    }
    m_numbers.clear();
    if (!composed) {
        m_writer.ClearOutput();
        return false;
    }
    if (m_writer.IsRtf())
        m_writer.WriteRtf(kRtfTail);

    m_document.IsRtf = m_writer.IsRtf();
    m_document.Caption =
        m_meta.DisplayName(n, ResKind::Report) + (m_document.IsRtf ? ".RTF" : ".TXT");
    m_document.Bytes = m_writer.TakeOutput();
    return true;
}

bool TReportObj::ComposeReport()
{
    const int n = m_reportNumber;
    if (n < 1 || n > kReportCount || !rowsUsable(kRowsNeeded[static_cast<size_t>(n - 1)]))
        return false;
    if (n <= 4)
        composeStructure();
    else if (n <= 6)
        composeActivity();
    else
        composeStrategic();
    return true;
}

bool TReportObj::rowsUsable(int needed) const
{
    const int rows = leadingRows(m_params);
    if (rows < needed)
        return false;
    for (int k = 1; k <= rows; ++k) {
        const TTreeList* start = row(k).StartItem;
        if (!start || start->Root() != m_root || start->Level() < 1 ||
            start->ClassifierIndex() != row(k).Classifier)
            return false;
    }
    return true;
}

std::string TReportObj::classifierName(int k) const
{
    return m_meta.DisplayName(k, ResKind::Classifier);
}

std::string TReportObj::lineText(const TTreeList* node)
{
    if (m_numbers.empty()) {
        m_root->ForEachPreOrder([this](TTreeList* n, const std::string& number, int) {
            m_numbers.emplace(n, number);
        });
    }
    const auto it = m_numbers.find(node);
    if (it == m_numbers.end())
        return node->LineText();
    return it->second + " " + node->Name();
}

void TReportObj::WriteHeader(std::string subject, std::string title, const std::string& subtitle)
{
    if (title.empty())
        title = m_meta.DisplayName(m_reportNumber, ResKind::Report);
    line(ParaStyle::Title, title);
    if (!subtitle.empty())
        line(ParaStyle::Subtitle, subtitle);
    if (subject.empty())
        subject = m_root->Name();
    line(ParaStyle::Subject, subject);

    if (!m_useInformation)
        return;
    for (int k = 1; k <= kReportParamRows && row(k).Mode != 0; ++k) {
        const ReportParam& r = row(k);
        if (k == 1) {
            line(ParaStyle::Heading, "");
            line(ParaStyle::Heading, t("Параметры отчета"));
        }
        line(ParaStyle::Level1, t("Классификатор : ") + classifierName(r.Classifier));
        line(ParaStyle::Level2, t("Начальный элемент : ") + lineText(r.StartItem));
        line(ParaStyle::Level2, t("Уровни детализации : ") +
                                    (r.Levels == 0 ? t("Все") : std::to_string(r.Levels)));
    }
}

void TReportObj::WriteSection(const std::string& title)
{
    line(ParaStyle::Heading, "");
    ++m_sectionCount;
    line(ParaStyle::Heading, roman(m_sectionCount) + ". " + title);
}

void TReportObj::WriteTreeLine(int level, TTreeList* node)
{
    line(treeLineStyle(level), lineText(node));
}

void TReportObj::WriteParamTree(int k)
{
    TTreeList* start = row(k).StartItem;
    start->WalkLevels(startLevel(start), row(k).Levels,
                      [this](int level, int, TTreeList* node) { WriteTreeLine(level, node); });
}

void TReportObj::WriteCorrespondence(int m, const std::vector<int>& details)
{
    auto entry = [this](int k) {
        return CorrEntry{row(k).StartItem, row(k).Levels, classifierName(row(k).Classifier)};
    };
    std::vector<CorrEntry> detailEntries;
    for (const int d : details)
        detailEntries.push_back(entry(d));
    writeCorrespondence(entry(m), detailEntries);
}

void TReportObj::writeCorrespondence(const CorrEntry& master,
                                     const std::vector<CorrEntry>& details)
{
    if (!master.Caption.empty())
        line(ParaStyle::Heading, master.Caption);
    master.Node->WalkLevels(startLevel(master.Node), master.Levels, [&](int, int, TTreeList* x) {
        line(ParaStyle::Level1, lineText(x));
        for (const CorrEntry& e : details) {
            // Levels of a classifier's tree node count its items, one level below the node.
            const int depth = e.Levels + (e.Levels != 0 && e.Node->Level() == 1 ? 1 : 0);
            x->LinkedItemsWithin(
                1, 1,
                [&](int, int count, TTreeList* item) {
                    if (count == 1)
                        line(ParaStyle::GroupCaption, e.Caption + ":");
                    line(ParaStyle::Linked, lineText(item));
                },
                depth, e.Node);
        }
    });
}

void TReportObj::composeStructure()
{
    const int n = m_reportNumber;
    const bool extended = n == 1 || n == 3;
    const bool organisation = n <= 2;
    const ReportParam& p = row(1);
    TTreeList* start = p.StartItem;
    const std::string subtitle = t(extended ? "(расширенное)" : "(простое)");

    // The organisation reports start below the tree node of the structural units, the unit
    // reports at the unit itself.
    int from = 2;
    if (organisation) {
        WriteHeader(m_root->Name(), t("Положение об организационной структуре"), subtitle);
    } else {
        WriteHeader(start->Name(), t("Положение о структурном подразделении"), subtitle);
        from = 1;
    }
    const bool whole = organisation && p.Levels == 0;
    const std::vector<int> classifiers =
        extended ? std::vector<int>{1, 2, 3} : std::vector<int>{2, 3};

    for (const int c : classifiers) {
        WriteSection(classifierName(c));
        if (whole) {
            m_root->TreeByIndex(c)->WalkLevels(
                2, 0, [this](int level, int, TTreeList* node) { WriteTreeLine(level, node); });
        } else {
            start->LinkedItemsByClassifier(
                from, p.Levels,
                [this](int, int, TTreeList* item) { line(ParaStyle::Level1, lineText(item)); }, c);
        }
    }

    WriteSection(t("Перечень структурных звеньев"));
    start->WalkLevels(from, p.Levels,
                      [this](int level, int, TTreeList* node) { WriteTreeLine(level, node); });

    WriteSection(t("Распределение ") + (extended ? t("бизнес-направлений и ") : std::string()) +
                 t("процессов/функций по структурным звеньям"));
    start->WalkLevels(from, p.Levels, [&](int, int, TTreeList* unit) {
        line(ParaStyle::Level1, lineText(unit));
        for (const int c : classifiers) {
            unit->LinkedItemsByClassifier(
                1, 1,
                [&](int, int count, TTreeList* item) {
                    if (count == 1)
                        line(ParaStyle::GroupCaption, classifierName(c) + ":");
                    line(ParaStyle::Linked, lineText(item));
                },
                c);
        }
    });
}

void TReportObj::composeActivity()
{
    const ReportParam& p = row(1);
    TTreeList* start = p.StartItem;
    TTreeList* units = m_root->TreeByIndex(4);
    const std::string activities = t("Процессы/функции внутрифирменной деятельности");
    auto unitLine = [this](int, int, TTreeList* unit) { line(ParaStyle::Level1, lineText(unit)); };

    WriteHeader(start->Name(), std::string(), std::string());

    WriteSection(activities);
    WriteParamTree(1);

    WriteSection(t("Перечень структурных звеньев, участвующих в процессах/функциях "
                   "внутрифирменной деятельности"));
    start->LinkedItemsWithin(startLevel(start), p.Levels, unitLine, 0, units);

    WriteSection(t("Распределение ответственности структурных звеньев за процессы/функции "
                   "внутрифирменной деятельности"));
    writeCorrespondence({start, p.Levels, std::string()}, {{units, 0, t("Структурные звенья")}});

    WriteSection(t("Распределение процессов/функций внутрифирменной деятельности по "
                   "структурным звеньям"));
    start->LinkedItemsWithin(
        startLevel(start), p.Levels,
        [&](int, int, TTreeList* unit) {
            line(ParaStyle::Level1, lineText(unit));
            unit->LinkedItemsWithin(
                1, 1,
                [&](int, int count, TTreeList* item) {
                    if (count == 1)
                        line(ParaStyle::GroupCaption, activities + ":");
                    line(ParaStyle::Linked, lineText(item));
                },
                p.Levels, start);
        },
        0, units);
}

void TReportObj::composeStrategic()
{
    WriteHeader(m_root->Name(), std::string(), std::string());
    for (const Section& section : strategicSections(m_reportNumber)) {
        WriteSection(t(section.Title));
        for (const Step& step : section.Steps) {
            if (step.Details.empty())
                WriteParamTree(step.Row);
            else
                WriteCorrespondence(step.Row, step.Details);
        }
    }
}

void MakeReport(int n, TTreeList& project, const ReportOptions& options, ReportUi& ui,
                Prompts& prompts)
{
    TReportObj report(project);
    std::string message;
    if (report.PrepareParameters(n, message) != ReportFault::None) {
        prompts.Inform(message);
        return;
    }
    if (!ui.AskParameters(n, project, report.Params()))
        return;
    if (!report.BuildReport(n, options)) {
        prompts.Inform(ReportFailureMessage(n));
        return;
    }
    ui.ShowReport(report.TakeDocument());
}

namespace {

// Checks one headless choice against what the dialog offers for the row and applies it.
// Returns the description of a wrong choice, or the empty string.
std::string applyChoice(TTreeList& project, int k, const ParamChoice& choice, ReportParam& row)
{
    const std::string prefix = "parameter " + std::to_string(k) + ": ";
    TTreeList* start = row.StartItem;
    if (!choice.StartNumber.empty()) {
        start = nullptr;
        try {
            start = project.Root()->FindByNumber(choice.StartNumber);
        } catch (const std::exception&) {
        }
        // Only the canonical spelling: "4." or "04.1" would also be found.
        if (!start || start->Number() != choice.StartNumber)
            return prefix + "there is no item numbered " + choice.StartNumber;
        if (start->ClassifierIndex() != row.Classifier)
            return prefix + choice.StartNumber + " is not in classifier " +
                   std::to_string(row.Classifier) + " (" +
                   Metamodel().DisplayName(row.Classifier, ResKind::Classifier) + ")";
        if (row.Mode == 1 && start->Level() != 1)
            return prefix + "the report takes the whole classifier " +
                   std::to_string(row.Classifier);
        if (row.Mode == 2 && start->Level() == 1)
            return prefix + "choose one item of classifier " + std::to_string(row.Classifier);
    }
    const int offered = LevelChoiceCount(*start);
    if (choice.Levels < 0 || choice.Levels > offered)
        return prefix + "levels must be 0 (all) to " + std::to_string(offered) + " for " +
               start->Number();
    row.StartItem = start;
    row.Levels = choice.Levels;
    return std::string();
}

}  // namespace

ReportOutcome GenerateReport(TTreeList& project, int n, const std::vector<ParamChoice>& choices,
                             const ReportOptions& options)
{
    ReportOutcome out;
    TReportObj report(project);
    out.Fault = report.PrepareParameters(n, out.Message);
    if (out.Fault != ReportFault::None)
        return out;

    const int rows = leadingRows(report.Params());
    if (static_cast<int>(choices.size()) > rows) {
        out.Fault = ReportFault::BadChoice;
        out.Message = "report " + std::to_string(n) + " takes " + std::to_string(rows) +
                      " parameter(s), " + std::to_string(choices.size()) + " given";
        return out;
    }
    for (size_t i = 0; i < choices.size(); ++i) {
        out.Message = applyChoice(project, static_cast<int>(i) + 1, choices[i], report.Params()[i]);
        if (!out.Message.empty()) {
            out.Fault = ReportFault::BadChoice;
            return out;
        }
    }

    if (!report.BuildReport(n, options)) {
        out.Fault = ReportFault::NotWorking;
        out.Message = ReportFailureMessage(n);
        return out;
    }
    out.Document = report.TakeDocument();
    return out;
}

}  // namespace orm
