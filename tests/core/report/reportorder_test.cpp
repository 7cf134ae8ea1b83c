// Reports of large generated projects are byte for byte the stored ones (hashes of every report
// in both formats are kept here), linked items come in the order
// of their padded numbers, and the writer's fast paths write what the plain ones write.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "core/model/project.h"
#include "core/report/reportgen.h"
#include "reporttest.h"
#include "support/hash.h"

using namespace orm;
using namespace orm::test;

namespace {

// Items spread over every tree of root in random trees up to seven levels deep, names with
// braces, backslashes and Cyrillic now and then, and random links between trees (a pair may be
// linked twice). The same seed gives the same project on every platform.
void grow(TTreeList& root, int items, unsigned seed)
{
    std::mt19937 rng(seed);
    const int trees = root.Count();
    std::vector<std::vector<TTreeList*>> of(static_cast<size_t>(trees));
    for (int k = 0; k < trees; ++k) {
        TTreeList* tree = root.Child(k);
        std::vector<TTreeList*> open{tree};
        for (int i = 0; i < items / trees; ++i) {
            TTreeList* parent = rng() % 10 == 0 ? tree : open[rng() % open.size()];
            std::string name = "Item " + std::to_string(k + 1) + "." + std::to_string(i);
            if (i % 11 == 0)
                name += " {a\\b} " + ToCp1251("Отдел");
            TTreeList* item = parent->AddChild(name);
            if (item->Level() < 7)
                open.push_back(item);
            of[static_cast<size_t>(k)].push_back(item);
        }
    }
    for (int i = 0; i < items; ++i) {
        const size_t a = rng() % static_cast<size_t>(trees);
        const size_t b = rng() % static_cast<size_t>(trees);
        if (a == b || of[a].empty() || of[b].empty())
            continue;
        of[a][rng() % of[a].size()]->Link(of[b][rng() % of[b].size()]);
    }
}

class AllReports : public TStructRes14 {
public:
    int KindCount(ResKind kind) const override
    {
        return kind == ResKind::Report ? kReportCount : TStructRes14::KindCount(kind);
    }
};

// Report n from the dialog's preset rows, or (narrow) from each row's second top item, or its
// tree node where only that may be chosen, with two levels where there are that many.
std::string build(TTreeList& root, int n, bool rtf, bool narrow)
{
    static const AllReports meta;
    TReportObj report(root, meta);
    std::string message;
    EXPECT_EQ(report.PrepareParameters(n, message), ReportFault::None) << n;
    if (narrow) {
        for (ReportParam& row : report.Params()) {
            if (row.Mode == 0)
                break;
            TTreeList* tree = root.TreeByIndex(row.Classifier);
            if (row.Mode != 1 && tree->Count() > 1)
                row.StartItem = tree->Child(1);
            row.Levels = LevelChoiceCount(*row.StartItem) >= 2 ? 2 : 0;
        }
    }
    EXPECT_TRUE(report.BuildReport(n, {rtf, narrow})) << n;
    return report.TakeDocument().Bytes;
}

struct Expected {
    size_t Size;
    uint64_t Hash;
};

// [report - 1][narrow][rtf]
constexpr Expected kExpected[kReportCount][2][2] = {
    {{{175752, 6965543122456354267ull}, {416804, 5849146217970937510ull}}, {{21052, 5070169974947516016ull}, {53971, 11532613697783100456ull}}},
    {{{137626, 13529979437328020537ull}, {324258, 18082525808192862032ull}}, {{18409, 18253025591361872625ull}, {47320, 8087780804446228753ull}}},
    {{{15697, 7009551895333610220ull}, {37570, 17282306823515023431ull}}, {{595, 9560547819387471900ull}, {1997, 5225915787018035890ull}}},
    {{{13577, 4994805087291039568ull}, {32226, 1101070719060912212ull}}, {{545, 9816292868790648970ull}, {1843, 4203680793979910042ull}}},
    {{{35623, 3405585176614727783ull}, {82320, 12509786051725112444ull}}, {{1179, 13076786960972017839ull}, {2992, 2724234656715863663ull}}},
    {{{31041, 18143308040711529334ull}, {71355, 12185504193966081641ull}}, {{1262, 6243888888506121430ull}, {3336, 12076213401341544616ull}}},
    {{{112980, 9778580372497367869ull}, {269903, 12333601063262425160ull}}, {{1188, 13601720470863149986ull}, {3529, 421921867783850003ull}}},
    {{{288299, 15590109781969841202ull}, {712314, 3448199161896637061ull}}, {{1916, 12974834894805480083ull}, {5629, 14167752393309356483ull}}},
    {{{130686, 9572656255180212327ull}, {314106, 10134628543652136360ull}}, {{903, 11749089634805125185ull}, {2874, 3925513946052902549ull}}},
    {{{345792, 10340166800834219915ull}, {853661, 14963079037651292838ull}}, {{2274, 16755520830678058823ull}, {6654, 10081407578811797867ull}}},
    {{{291003, 10868381130476332829ull}, {695427, 16905147332304941941ull}}, {{1951, 14668028718360409438ull}, {5530, 9681904207340694438ull}}},
    {{{208305, 6748655704344669895ull}, {504742, 14627831138875288460ull}}, {{1315, 2689968096859670543ull}, {3865, 18144426742520330ull}}},
};

}  // namespace

TEST(ReportBytes, EveryReportOfAGeneratedProjectIsUnchanged)
{
    TTreeList root;
    root.SetName(ToCp1251("Проект {10 000}"));
    for (int k = 1; k <= 10; ++k)
        root.AddChild(Metamodel().DisplayName(k, ResKind::Classifier));
    grow(root, 10000, 17);

    std::string table;
    bool same = true;
    for (int n = 1; n <= kReportCount; ++n) {
        table += "    {";
        for (const bool narrow : {false, true}) {
            table += "{";
            for (const bool rtf : {false, true}) {
                const std::string doc = build(root, n, rtf, narrow);
                const Expected& want = kExpected[n - 1][narrow][rtf];
                if (doc.size() != want.Size || test::Fnv1a(doc) != want.Hash) {
                    same = false;
                    ADD_FAILURE() << "report " << n << (narrow ? " narrowed" : "")
                                  << (rtf ? " rtf" : " txt") << " changed";
                }
                table += "{" + std::to_string(doc.size()) + ", " + std::to_string(test::Fnv1a(doc)) +
                         "ull}" + (rtf ? "" : ", ");
            }
            table += narrow ? "}" : "}, ";
        }
        table += "},\n";
    }
    if (!same)
        std::cout << "The reports now hash as:\n" << table;
}

// Linked items are listed in the order of their padded numbers, which is tree order while no
// node has more than 9 999 children, each once however often it is linked.
TEST(ReportBytes, LinkedItemsComeInPaddedNumberOrder)
{
    TMainTreeList project;
    TTreeList* top = project.TreeByIndex(1)->AddChild("top");
    for (int i = 1; i <= 10; ++i)
        top->AddChild("p" + std::to_string(i));
    TTreeList* unit = project.TreeByIndex(4)->AddChild("unit");
    for (const int i : {10, 2, 9, 2})
        unit->Link(top->Child(i - 1));
    unit->Link(project.TreeByIndex(2)->AddChild("s"));
    unit->Link(top);

    const std::string text = GenerateReport(project, 3, {{"4.1", 0}}, {false, false}).Document.Bytes;
    const auto lines = TextLines(text);
    std::vector<std::string> linked;
    for (const std::string& l : lines) {
        if (l.rfind("      ", 0) == 0)
            linked.push_back(l.substr(6));
    }
    EXPECT_EQ(linked, (std::vector<std::string>{"1.1 top", "1.1.2 p2", "1.1.9 p9", "1.1.10 p10",
                                                "2.1 s"}));
}

// Beyond 9 999 children a number component pads to five digits and the padded order is no longer
// tree order: the report keeps the padded order.
TEST(ReportBytes, BeyondTheChildLimitThePaddedOrderIsKept)
{
    TMainTreeList project;
    TTreeList* wide = project.TreeByIndex(1)->AddChild("wide");
    for (int i = 1; i <= 10001; ++i)
        wide->AddChild("c");
    TTreeList* unit = project.TreeByIndex(4)->AddChild("unit");
    for (const int i : {2000, 10001, 3, 10000})
        unit->Link(wide->Child(i - 1));

    // Components pad to four digits: "0003" < "10000" < "10001" < "2000".
    const std::vector<std::string> padded{"1.1.3 c", "1.1.10000 c", "1.1.10001 c", "1.1.2000 c"};

    const auto lines = TextLines(
        GenerateReport(project, 3, {{"4.1", 0}}, {false, false}).Document.Bytes);
    std::vector<std::string> listed;
    for (const std::string& l : lines) {
        if (l.rfind("  1.1.", 0) == 0)
            listed.push_back(l.substr(2));
    }
    EXPECT_EQ(listed, padded);
}

// The writer's one-piece item line and its quick scan for characters to escape write exactly
// what WriteLine writes for number + " " + name, wherever the special characters stand and
// however long the text is around the scan's step sizes.
TEST(ReportBytes, ItemLinesMatchPlainLinesInBothFormats)
{
    for (const bool rtf : {false, true}) {
        for (size_t length = 0; length <= 40; ++length) {
            for (size_t special = 0; special <= length; ++special) {
                std::string name(length, 'x');
                if (special < length)
                    name[special] = "\\{}"[special % 3];
                if (length > 3)
                    name[0] = '\xC0';
                for (const ParaStyle style : {ParaStyle::Level1, ParaStyle::Level3,
                                              ParaStyle::Linked, static_cast<ParaStyle>(12)}) {
                    TReportWriter items, lines;
                    items.SetRtf(rtf);
                    lines.SetRtf(rtf);
                    items.WriteItemLine(style, "1.2{3}", name);
                    lines.WriteLine(style, "1.2{3} " + name);
                    ASSERT_EQ(items.Output(), lines.Output())
                        << rtf << " " << length << " " << special;
                    std::string naive;
                    for (const char ch : name) {
                        if (ch == '\\' || ch == '{' || ch == '}')
                            naive += '\\';
                        naive += ch;
                    }
                    ASSERT_EQ(EscapeRtf(name), naive);
                }
            }
        }
    }
}
