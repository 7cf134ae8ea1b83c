#include "core/model/metamodel.h"

#include "core/text/cp1251.h"

#include <algorithm>

namespace orm {

namespace {

// Tables are written in UTF-8 here and converted once to the core's Windows-1251.
template <size_t N>
std::array<std::string, N> toCp1251(const char* const (&utf8)[N])
{
    std::array<std::string, N> out;
    for (size_t i = 0; i < N; ++i)
        out[i] = ToCp1251(utf8[i]);
    return out;
}

const char* const kClassifierNames[] = {
    "Бизнес-направления",
    "Основные и обеспечивающие процессы/функции",
    "Процессы/функции управления",
    "Структурные звенья",
    "Возможности внешней среды",
    "Угрозы внешней среды",
    "Сильные стороны компании",
    "Слабые стороны компании",
    "Стратегии",
    "Стратегические цели",
};

const char* const kProjectionNames[] = {
    "Бизнес-направления // Структурные звенья",
    "Основные и обеспечивающие процессы/функции // Структурные звенья",
    "Процессы/функции управления // Структурные звенья",
    "SO - поле Силы // Возможности",
    "ST - поле Силы // Угрозы",
    "WO - поле Слабости // Возможности",
    "WT - поле Слабости // Угрозы",
    "Возможности внешней среды // Стратегии",
    "Угрозы внешней среды // Стратегии",
    "Сильные стороны компании // Стратегии",
    "Слабые стороны компании // Стратегии",
    "Стратегии // Стратегические цели",
    "Стратегические цели // Бизнес-направления",
    "Стратегические цели // Основные и обеспечивающие процессы/функции",
    "Стратегические цели // Процессы/функции управления",
    "Стратегические цели // Структурные звенья",
    "Стратегия // Структурные звенья",
};

constexpr std::pair<int, int> kProjectionPairs[] = {
    {1, 4}, {2, 4}, {3, 4}, {7, 5},  {7, 6},  {8, 5},  {8, 6},  {5, 9}, {6, 9},
    {7, 9}, {8, 9}, {9, 10}, {10, 1}, {10, 2}, {10, 3}, {10, 4}, {9, 4},
};

const char* const kReportNames[] = {
    "Положение об организационной структуре (расширенное)",
    "Положение об организационной структуре (простое)",
    "Положение о структурном подразделении (расширенное)",
    "Положение о структурном подразделении (простое)",
    "Положение о внутрифирменной деятельности (основной и обеспечивающей)",
    "Положение о внутрифирменной деятельности (управленческой)",
    "Отчет о SWOT - анализе",
    "Отчет по Корреляционной матрице",
    "Отчет о стратегиях и стратегических целях",
    "Отчет о соответствии Стратегий Стратегическому анализу",
    "Отчет о соответствии Стратегических Целей  и Операционной деятельности",
    "Отчет о распределении ответственности за реализацию стратегий и стратегических целей",
    "-",
    "Бизнес-процессы и оргструктура",
    "Стратегический анализ",
    "Стратегия",
    "Интеграция",
};

const char* const kGroupNames[] = {"Классификаторы", "Матрицы", "Отчеты"};

struct ParamDefinition {
    int Classifier;
    int Mode;
    int Label;
};

constexpr ParamDefinition kParamDefinitions[] = {
    {1, 3, 1},  {2, 3, 2},  {3, 3, 3},  {4, 3, 4},  {5, 3, 5},  {6, 3, 6}, {7, 3, 7},
    {8, 3, 8},  {9, 3, 9},  {10, 3, 10}, {4, 1, 11}, {2, 2, 2},  {3, 2, 3}, {4, 2, 4},
};

// Definitions per report, 0 ends a list.
constexpr int kReportRows[12][kReportParamRows] = {
    {11, 0, 0, 0, 0}, {11, 0, 0, 0, 0}, {14, 0, 0, 0, 0}, {14, 0, 0, 0, 0},
    {12, 0, 0, 0, 0}, {13, 0, 0, 0, 0}, {5, 6, 7, 8, 0},  {5, 6, 7, 8, 0},
    {9, 10, 0, 0, 0}, {9, 5, 6, 7, 8},  {10, 1, 2, 3, 0}, {9, 10, 4, 0, 0},
};

constexpr TMenuEntry kMenu14[] = {
    {1, 0, 1}, {2, 1, 1}, {2, 1, 2}, {2, 1, 3}, {2, 1, 4}, {1, 0, 2}, {2, 2, 1},
    {2, 2, 2}, {2, 2, 3}, {1, 0, 3}, {2, 3, 1}, {2, 3, 2}, {2, 3, 3}, {2, 3, 4},
};

struct Names {
    std::array<std::string, 10> classifiers = toCp1251(kClassifierNames);
    std::array<std::string, 17> projections = toCp1251(kProjectionNames);
    std::array<std::string, 17> reports = toCp1251(kReportNames);
    std::array<std::string, 3> groups = toCp1251(kGroupNames);
    // The parameter labels: the ten classifier names, then that of classifier 4 once more.
    std::array<std::string, 11> labels = [this] {
        std::array<std::string, 11> out;
        std::copy(classifiers.begin(), classifiers.end(), out.begin());
        out[10] = classifiers[3];
        return out;
    }();
};

const Names& names()
{
    static const Names n;
    return n;
}

template <size_t N>
std::string pick(const std::array<std::string, N>& table, int index)
{
    return index >= 1 && index <= static_cast<int>(N) ? table[static_cast<size_t>(index - 1)]
                                                       : std::string();
}

}  // namespace

int TStructRes::KindCount(ResKind) const
{
    return 0;
}

std::string TStructRes::KindName(int index, ResKind kind) const
{
    switch (kind) {
    case ResKind::Classifier:
        return pick(names().classifiers, index);
    case ResKind::Projection:
        return pick(names().projections, index);
    case ResKind::Report:
        return pick(names().reports, index);
    default:
        return std::string();
    }
}

TMenuEntry TStructRes::MenuEntry(int) const
{
    return {};
}

std::pair<int, int> TStructRes::ProjectionPair(int p)
{
    if (p < 1 || p > 17)
        return {0, 0};
    return kProjectionPairs[p - 1];
}

std::string TStructRes::DisplayName(int index, ResKind kind) const
{
    if (kind != ResKind::MenuEntry)
        return KindName(index, kind);
    const TMenuEntry e = MenuEntry(index);
    switch (e.EntryKind) {
    case 0:
        return KindName(e.Index, ResKind::MenuGroup);
    case 1:
    case 2:
    case 3:
        return KindName(e.Index, static_cast<ResKind>(e.EntryKind - 1));
    default:
        return std::string();
    }
}

int TStructRes::SetupMenuItem(int i, MenuItemData& item) const
{
    const TMenuEntry e = MenuEntry(i);
    item.Caption = DisplayName(i, ResKind::MenuEntry);
    item.Tag = e.EntryKind != 0 ? e.EntryKind * 100 + e.Index : 0;
    return e.Level;
}

std::vector<MenuGroupData> TStructRes::MenuLayout() const
{
    std::vector<MenuGroupData> groups;
    const int count = KindCount(ResKind::MenuEntry);
    for (int i = 1; i <= count; ++i) {
        MenuItemData item;
        const int level = SetupMenuItem(i, item);
        if (level == 1)
            groups.push_back({item, {}});
        else if (!groups.empty())
            groups.back().Items.push_back(item);
    }
    return groups;
}

MenuCommand TStructRes::MenuItemClick(int tag)
{
    if (tag >= 101 && tag <= 110)
        return {MenuCommand::OpenClassifier, tag - 100, {}};
    if (tag >= 201 && tag <= 217)
        return {MenuCommand::OpenProjection, tag - 200, {}};
    if (tag >= 301 && tag <= 312)
        return {MenuCommand::MakeReport, tag - 300, {}};
    return {MenuCommand::Unknown, 0, "Tag = " + std::to_string(tag)};
}

bool TStructRes::ReportParams(int r, ReportParamRows& rows) const
{
    rows = ReportParamRows{};
    if (r < 1 || r > KindCount(ResKind::Report) || r > 12)
        return false;
    const auto& labels = names().labels;
    for (int k = 0; k < kReportParamRows; ++k) {
        const int def = kReportRows[r - 1][k];
        if (def == 0)
            break;
        const ParamDefinition& d = kParamDefinitions[def - 1];
        rows[static_cast<size_t>(k)].Mode = d.Mode;
        rows[static_cast<size_t>(k)].Classifier = d.Classifier;
        rows[static_cast<size_t>(k)].Caption = labels[static_cast<size_t>(d.Label - 1)];
    }
    return true;
}

int TStructRes14::KindCount(ResKind kind) const
{
    switch (kind) {
    case ResKind::Classifier:
        return 4;
    case ResKind::Projection:
        return 3;
    case ResKind::Report:
        return 4;
    case ResKind::MenuEntry:
        return 14;
    default:
        return TStructRes::KindCount(kind);
    }
}

std::string TStructRes14::KindName(int index, ResKind kind) const
{
    if (kind == ResKind::MenuGroup)
        return pick(names().groups, index);
    return TStructRes::KindName(index, kind);
}

TMenuEntry TStructRes14::MenuEntry(int i) const
{
    if (i < 1 || i > 14)
        return {};
    return kMenu14[i - 1];
}

const TStructRes& Metamodel()
{
    static const TStructRes14 model;
    return model;
}

}  // namespace orm
