#include "core/report/reportgen.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/model/nodepool.h"
#include "core/model/numbers.h"
#include "core/prompts/prompts.h"
#include "core/text/cp1251.h"

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
        list.push_back({number + " " + std::string(node->Name()), node});
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

// Every node of the project in pre-order with what the listings ask of it, made once per
// document: its number, level, classifier and the end of its subtree, and a table from node to
// place. Listing a subtree is a run over arrays, and the items linked to a subtree are put in
// order by sorting their places: while no node has more than 9 999 children (the format's
// limit), every number component pads to exactly four digits, so places order exactly as
// padded numbers do. Beyond that limit the tree's own traversals keep the padded order.
class TReportObj::DocumentIndex {
public:
    static constexpr uint32_t kAbsent = UINT32_MAX;

    DocumentIndex(TTreeList& root, TReportObj& owner) : m_owner(owner)
    {
        reserveFor(root);
        struct Frame {
            uint32_t at;
            int next;
            size_t prefix;  // length of the frame node's number in number
        };
        std::string number = "0";
        int widest = 0;
        std::vector<Frame> stack;
        auto add = [&](TTreeList* node, uint32_t parent, int component) {
            const auto at = static_cast<uint32_t>(m_entries.size());
            m_text += number;
            const int level = parent == kAbsent ? 0 : m_entries[parent].level + 1;
            const int classifier = level <= 1 ? component : m_entries[parent].classifier;
            m_entries.push_back({node, 0, static_cast<uint32_t>(m_text.size()), level, classifier});
            if (parent != kAbsent)
                m_places[slotOf(node)] = at;
            widest = std::max(widest, node->Count());
            stack.push_back({at, 0, number.size()});
        };
        add(&root, kAbsent, 0);
        while (!stack.empty()) {
            Frame& top = stack.back();
            TTreeList* node = m_entries[top.at].node;
            if (top.next >= node->Count()) {
                m_entries[top.at].end = static_cast<uint32_t>(m_entries.size());
                stack.pop_back();
                continue;
            }
            const int i = top.next++;
            m_owner.tick();
            // The root's own number "0" is not part of its children's numbers.
            if (top.at == 0) {
                number.clear();
            } else {
                number.resize(top.prefix);
                number += '.';
            }
            char digits[16];
            number.append(digits, std::to_chars(digits, digits + sizeof digits, i + 1).ptr);
            add(node->Child(i), top.at, i + 1);
        }
        m_positionOrdered = widest <= 9999;
    }

    uint32_t find(const TTreeList* node) const
    {
        if (!node)
            return kAbsent;
        // The root is the one node without a parent, and the only one not a pooled item.
        if (!node->Parent())
            return node == m_entries[0].node ? 0 : kAbsent;
        const uint32_t at = m_places[slotOf(node)];
        return at != kAbsent && m_entries[at].node == node ? at : kAbsent;
    }
    std::string_view number(uint32_t at) const
    {
        const size_t begin = at == 0 ? 0 : m_entries[at - 1].numberEnd;
        return std::string_view(m_text).substr(begin, m_entries[at].numberEnd - begin);
    }
    int classifier(uint32_t at) const { return m_entries[at].classifier; }

    // TTreeList::IsWithinLevels by places.
    bool isWithinLevels(uint32_t item, uint32_t top, int levels) const
    {
        return top <= item && item < m_entries[top].end &&
               (levels == 0 || m_entries[item].level < m_entries[top].level + levels);
    }

    // Calls visit(level, node, at) as start->WalkLevels(from, levels) would call its visitor;
    // a node at the last level is stepped over with its subtree.
    template <typename Visit>
    void walk(uint32_t start, int from, int levels, Visit&& visit) const
    {
        if (levels < 0 || from < 1)
            return;
        const int limit = levels > 0 ? from + levels - 1 : 0;
        const int base = m_entries[start].level - 1;
        for (uint32_t at = start; at < m_entries[start].end;) {
            m_owner.tick();
            const Entry& e = m_entries[at];
            const int depth = e.level - base;
            if (depth >= from)
                visit(depth - from + 1, e.node, at);
            at = limit > 0 && depth >= limit ? e.end : at + 1;
        }
    }

    // The items linked to what walk(start, from, levels) visits, each once, in padded-number
    // order. Links join items of one project, so every partner is in the index.
    void linkedItems(uint32_t start, int from, int levels, std::vector<Linked>& out)
    {
        m_linked.clear();
        walk(start, from, levels, [&](int, TTreeList* node, uint32_t) {
            for (const TTreeList* linked : node->Links())
                m_linked.push_back(find(linked));
        });
        if (m_positionOrdered) {
            std::sort(m_linked.begin(), m_linked.end());
            m_linked.erase(std::unique(m_linked.begin(), m_linked.end()), m_linked.end());
        } else {
            orderByKey();
        }
        out.clear();
        for (const uint32_t at : m_linked)
            out.push_back({m_entries[at].node, at});
    }

private:
    // Beyond 9 999 children places no longer give the padded order, and two numbers may even
    // pad to one key, of which the first one met is kept. The keys are made from the numbers
    // the index holds and sorted stably, which keeps exactly that.
    void orderByKey()
    {
        struct Keyed {
            size_t begin;  // in m_keys
            size_t length;
            uint32_t at;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(m_linked.size());
        m_keys.clear();
        for (const uint32_t at : m_linked) {
            const size_t begin = m_keys.size();
            m_keys += PadNumber(number(at));
            keyed.push_back({begin, m_keys.size() - begin, at});
        }
        const std::string_view keys = m_keys;
        auto key = [keys](const Keyed& k) { return keys.substr(k.begin, k.length); };
        std::stable_sort(keyed.begin(), keyed.end(),
                         [&key](const Keyed& a, const Keyed& b) { return key(a) < key(b); });
        m_linked.clear();
        for (size_t i = 0; i < keyed.size(); ++i) {
            if (i == 0 || key(keyed[i]) != key(keyed[i - 1]))
                m_linked.push_back(keyed[i].at);
        }
    }

    std::string m_keys;
    TReportObj& m_owner;

    // Counts the nodes and the length of all their numbers first, so that the entries and the
    // numbers take exactly their room: a growing array holds its old and its new block at once,
    // which at 10^6 items would be the report's peak.
    void reserveFor(TTreeList& root)
    {
        struct Frame {
            const TTreeList* node;
            int next;
            size_t length;  // of the node's number
        };
        std::vector<Frame> stack{{&root, 0, 1}};
        size_t nodes = 1;
        size_t text = 1;
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next >= top.node->Count()) {
                stack.pop_back();
                continue;
            }
            const int i = top.next++;
            char digits[16];
            const size_t length = (stack.size() == 1 ? 0 : top.length + 1) +
                                  static_cast<size_t>(
                                      std::to_chars(digits, digits + sizeof digits, i + 1).ptr -
                                      digits);
            ++nodes;
            text += length;
            stack.push_back({top.node->ChildAt(i), 0, length});
        }
        // Places and number ends are 32-bit; no project that fits in memory comes near.
        if (nodes >= kAbsent || text > UINT32_MAX)
            throw EListError("the document index is too large");
        m_entries.reserve(nodes);
        m_text.reserve(text);
        m_slotLimit = PoolSlotLimit(sizeof(TTreeList));
        m_places.assign(size_t{m_slotLimit} + 1, kAbsent);
    }
    // Every item below the root is a pooled block with a slot of its own; one made after the
    // index gets the spare last place, which names no node.
    uint32_t slotOf(const TTreeList* node) const
    {
        return std::min(PoolSlot(node, sizeof(TTreeList)), m_slotLimit);
    }

    struct Entry {
        TTreeList* node;
        uint32_t end;        // one past the subtree's last place
        uint32_t numberEnd;  // in m_text
        int level;           // the root is level 0
        int classifier;      // ClassifierIndex
    };

    std::vector<Entry> m_entries;
    std::string m_text;  // every number, one after the other
    bool m_positionOrdered = true;
    // The place of each node by its pool slot: a look-up with no probing, at 4 bytes a slot.
    std::vector<uint32_t> m_places;
    uint32_t m_slotLimit = 0;
    std::vector<uint32_t> m_linked;  // places of linked items being ordered
};

TReportObj::TReportObj(TTreeList& project, const TStructRes& meta)
    : m_root(project.Root()), m_meta(meta)
{
}

TReportObj::~TReportObj() = default;

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
        // The dialog's first entry (StartChoices): the classifier's tree node, or for a row of
        // items only the tree's first item; found without listing the whole classifier.
        TTreeList* first = nullptr;
        try {
            TTreeList* tree = m_root->TreeByIndex(r.Classifier);
            first = r.Mode != 2 ? tree : tree->Count() > 0 ? tree->Child(0) : nullptr;
        } catch (const std::exception&) {
            // The project has no tree for this classifier.
            message = ReportFailureMessage(n, m_meta);
            return ReportFault::NotWorking;
        }
        if (!first) {
            message = t("Не заданы ") + classifierName(r.Classifier) + "!";
            return ReportFault::NoItems;
        }
        r.StartItem = first;
        r.Levels = 0;
    }
    return ReportFault::None;
}

bool TReportObj::BuildReport(int n, const ReportOptions& options, ByteSink& sink,
                             const Progress& progress)
{
    m_writer.SetSink(&sink);
    struct Unset {
        TReportWriter& writer;
        ~Unset() { writer.SetSink(nullptr); }
    } unset{m_writer};
    return BuildReport(n, options, progress);
}

bool TReportObj::BuildReport(int n, const ReportOptions& options, const Progress& progress)
{
    m_writer.ClearOutput();
    m_document = ReportDocument{};
    m_index.reset();
    m_sectionCount = 0;
    m_sectionTotal = 0;
    m_reportNumber = n;
    m_writer.SetRtf(options.Rtf);
    m_useInformation = options.UseInformation;
    m_progress = progress ? &progress : nullptr;
    m_ticks = 0;

    if (m_writer.IsRtf())
        m_writer.WriteRtf(kRtfHead);
    bool composed = false;
    try {
        composed = ComposeReport();
    } catch (const ELoadInvalid&) {
    } catch (const EListError&) {
    } catch (const EScaleInvalid&) {
    } catch (const WorkCancelled&) {
        m_progress = nullptr;
        m_index.reset();
        m_writer.ClearOutput();
        throw;
    }
    m_progress = nullptr;
    m_index.reset();
    if (!composed) {
        m_writer.ClearOutput();
        return false;
    }
    if (m_writer.IsRtf())
        m_writer.WriteRtf(kRtfTail);
    m_writer.Flush();
    ReportProgress(progress, m_sectionTotal, m_sectionTotal);

    m_document.IsRtf = m_writer.IsRtf();
    m_document.Caption =
        m_meta.DisplayName(n, ResKind::Report) + (m_document.IsRtf ? ".RTF" : ".TXT");
    m_document.Bytes = m_writer.TakeOutput();
    return true;
}

bool TReportObj::ComposeReport()
{
    // An index from an earlier composition may name items deleted since.
    m_index.reset();
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

TReportObj::DocumentIndex& TReportObj::index()
{
    if (!m_index)
        m_index = std::make_unique<DocumentIndex>(*m_root, *this);
    return *m_index;
}

std::string TReportObj::lineText(const TTreeList* node)
{
    const uint32_t at = index().find(node);
    return at == DocumentIndex::kAbsent
               ? std::string()
               : std::string(m_index->number(at)) + " " + std::string(node->Name());
}

void TReportObj::itemLine(ParaStyle style, const TTreeList* node, uint32_t at)
{
    tick();
    m_writer.WriteItemLine(style, index().number(at), node->Name());
}

void TReportObj::itemLine(ParaStyle style, const TTreeList* node)
{
    itemLine(style, node, index().find(node));
}

// Every item a report starts from is one of the project's, so the index holds it; a node from
// elsewhere would have nothing of this project below it.
template <typename Visit>
void TReportObj::walk(TTreeList* start, int from, int levels, Visit&& visit)
{
    const uint32_t at = index().find(start);
    if (at != DocumentIndex::kAbsent)
        m_index->walk(at, from, levels, visit);
}

void TReportObj::linkedItems(TTreeList* start, int from, int levels, std::vector<Linked>& out)
{
    out.clear();
    const uint32_t at = index().find(start);
    if (at != DocumentIndex::kAbsent)
        m_index->linkedItems(at, from, levels, out);
}

int TReportObj::classifierOf(const Linked& item)
{
    return index().classifier(item.At);
}

bool TReportObj::isWithinLevels(const Linked& item, const TTreeList* top, int levels)
{
    const uint32_t at = index().find(top);
    return at != DocumentIndex::kAbsent && m_index->isWithinLevels(item.At, at, levels);
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

void TReportObj::beat()
{
    m_ticks = 0;
    // The section being written is not done yet.
    ReportProgress(*m_progress, static_cast<uint64_t>(std::max(0, m_sectionCount - 1)),
                   static_cast<uint64_t>(m_sectionTotal));
}

void TReportObj::WriteSection(const std::string& title)
{
    if (m_progress)
        ReportProgress(*m_progress, static_cast<uint64_t>(m_sectionCount),
                       static_cast<uint64_t>(m_sectionTotal));
    line(ParaStyle::Heading, "");
    ++m_sectionCount;
    line(ParaStyle::Heading, roman(m_sectionCount) + ". " + title);
}

void TReportObj::WriteParamTree(int k)
{
    TTreeList* start = row(k).StartItem;
    walk(start, startLevel(start), row(k).Levels, [this](int level, TTreeList* node, uint32_t at) {
        itemLine(treeLineStyle(level), node, at);
    });
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
    std::vector<Linked> linked;
    std::vector<std::string> captions;
    for (const CorrEntry& e : details)
        captions.push_back(e.Caption + ":");
    walk(master.Node, startLevel(master.Node), master.Levels,
         [&](int, TTreeList* x, uint32_t at) {
             itemLine(ParaStyle::Level1, x, at);
             if (details.empty())
                 return;
             linkedItems(x, 1, 1, linked);
             for (size_t k = 0; k < details.size(); ++k) {
                 const CorrEntry& e = details[k];
                 // Levels of a classifier's tree node count its items, one level below the node.
                 const int depth = e.Levels + (e.Levels != 0 && e.Node->Level() == 1 ? 1 : 0);
                 int count = 0;
                 for (const Linked& item : linked) {
                     if (!isWithinLevels(item, e.Node, depth))
                         continue;
                     if (++count == 1)
                         line(ParaStyle::GroupCaption, captions[k]);
                     itemLine(ParaStyle::Linked, item.Node, item.At);
                 }
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
    // One section per classifier listed, the units and their distribution.
    m_sectionTotal = (extended ? 3 : 2) + 2;

    // The organisation reports start below the tree node of the structural units, the unit
    // reports at the unit itself.
    int from = 2;
    if (organisation) {
        WriteHeader(std::string(m_root->Name()), t("Положение об организационной структуре"), subtitle);
    } else {
        WriteHeader(std::string(start->Name()), t("Положение о структурном подразделении"), subtitle);
        from = 1;
    }
    const bool whole = organisation && p.Levels == 0;
    const std::vector<int> classifiers =
        extended ? std::vector<int>{1, 2, 3} : std::vector<int>{2, 3};
    auto treeLine = [this](int level, TTreeList* node, uint32_t at) {
        itemLine(treeLineStyle(level), node, at);
    };

    // The items linked to the subtree in scope, gathered once and listed by classifier.
    std::vector<Linked> linked;
    if (!whole)
        linkedItems(start, from, p.Levels, linked);
    for (const int c : classifiers) {
        WriteSection(classifierName(c));
        if (whole) {
            walk(m_root->TreeByIndex(c), 2, 0, treeLine);
            continue;
        }
        for (const Linked& item : linked) {
            if (classifierOf(item) == c)
                itemLine(ParaStyle::Level1, item.Node, item.At);
        }
    }

    WriteSection(t("Перечень структурных звеньев"));
    walk(start, from, p.Levels, treeLine);

    WriteSection(t("Распределение ") + (extended ? t("бизнес-направлений и ") : std::string()) +
                 t("процессов/функций по структурным звеньям"));
    std::vector<std::string> captions;
    for (const int c : classifiers)
        captions.push_back(classifierName(c) + ":");
    walk(start, from, p.Levels, [&](int, TTreeList* unit, uint32_t at) {
        itemLine(ParaStyle::Level1, unit, at);
        linkedItems(unit, 1, 1, linked);
        for (size_t k = 0; k < classifiers.size(); ++k) {
            int count = 0;
            for (const Linked& item : linked) {
                if (classifierOf(item) != classifiers[k])
                    continue;
                if (++count == 1)
                    line(ParaStyle::GroupCaption, captions[k]);
                itemLine(ParaStyle::Linked, item.Node, item.At);
            }
        }
    });
}

void TReportObj::composeActivity()
{
    const ReportParam& p = row(1);
    TTreeList* start = p.StartItem;
    TTreeList* units = m_root->TreeByIndex(4);
    const std::string activities = t("Процессы/функции внутрифирменной деятельности");
    m_sectionTotal = 4;

    WriteHeader(std::string(start->Name()), std::string(), std::string());

    WriteSection(activities);
    WriteParamTree(1);

    // The units linked to the processes in scope, listed twice below.
    std::vector<Linked> linkedUnits;
    linkedItems(start, startLevel(start), p.Levels, linkedUnits);
    std::erase_if(linkedUnits,
                  [&](const Linked& unit) { return !isWithinLevels(unit, units, 0); });

    WriteSection(t("Перечень структурных звеньев, участвующих в процессах/функциях "
                   "внутрифирменной деятельности"));
    for (const Linked& unit : linkedUnits)
        itemLine(ParaStyle::Level1, unit.Node, unit.At);

    WriteSection(t("Распределение ответственности структурных звеньев за процессы/функции "
                   "внутрифирменной деятельности"));
    writeCorrespondence({start, p.Levels, std::string()}, {{units, 0, t("Структурные звенья")}});

    WriteSection(t("Распределение процессов/функций внутрифирменной деятельности по "
                   "структурным звеньям"));
    std::vector<Linked> linked;
    const std::string caption = activities + ":";
    for (const Linked& unit : linkedUnits) {
        itemLine(ParaStyle::Level1, unit.Node, unit.At);
        linkedItems(unit.Node, 1, 1, linked);
        int count = 0;
        for (const Linked& item : linked) {
            if (!isWithinLevels(item, start, p.Levels))
                continue;
            if (++count == 1)
                line(ParaStyle::GroupCaption, caption);
            itemLine(ParaStyle::Linked, item.Node, item.At);
        }
    }
}

void TReportObj::composeStrategic()
{
    m_sectionTotal = static_cast<int>(strategicSections(m_reportNumber).size());
    WriteHeader(std::string(m_root->Name()), std::string(), std::string());
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
    bool built = false;
    if (!prompts.RunWork(t("Формирование отчёта…"), [&](const Progress& progress) {
            built = report.BuildReport(n, options, progress);
        }))
        return;
    if (!built) {
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
