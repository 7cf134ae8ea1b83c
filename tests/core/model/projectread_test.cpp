// The project reader on numbers at the ends of int and on files of extreme shape: every number
// component outside 1..the child count is a format fault that keeps what was read before it,
// deep or long numbers read (and save back) in one pass, and a file read in blocks reads as its
// whole text does.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <random>
#include <sstream>

#include "core/model/numbers.h"
#include "core/model/project.h"

using namespace orm;

namespace {

std::vector<TTreeList*> linksOf(const TTreeList* node)
{
    return {node->Links().begin(), node->Links().end()};
}

const std::string kHead = "0 P\r\n1 B\r\n1.1 a\r\n2 X\r\n2.1 p\r\n3 Y\r\n4 S\r\n4.1 u\r\n";

}  // namespace

TEST(ProjectReadBounds, ComponentsOutsideTheChildListAreFormatFaults)
{
    for (const char* line : {
             "-2147483648.1",          // link line, first component INT_MIN
             "1.-2147483648",          // link line, last component INT_MIN
             "-2147483648.",           // link line with a trailing dot
             "1.2147483647",           // link line, INT_MAX
             "0.1",                    // link line into no classifier
             "1.1.1",                  // link line to an item that is not there
             "4.-2147483648.1 v",      // item line whose parent is INT_MIN
             "4.1.0.1 v",              // item line whose parent is 0
             "4.2147483647.1 v",       // item line whose parent is INT_MAX
             "4.99999999999.1 v",      // beyond int: no integer at all
             "4.1.1.1 v",              // parent 4.1.1 not there yet
             "5.1 v",                  // a fifth classifier
             "4.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1 v",  // the same, deeper than usual
         }) {
        SCOPED_TRACE(line);
        TMainTreeList project;
        const LoadResult result = project.ReadProjectText(kHead + line + "\r\n");
        EXPECT_FALSE(result.Ok);
        // Everything before the fault stays.
        ASSERT_EQ(project.Child(3)->Count(), 1);
        EXPECT_EQ(project.FindByNumber("4.1")->Name(), "u");
        EXPECT_EQ(project.Child(3)->Child(0)->Count(), 0);
    }
}

TEST(ProjectReadBounds, LookUpByNumberRefusesEveryComponentOutOfRange)
{
    TMainTreeList project;
    ASSERT_TRUE(project.ReadProjectText(kHead).Ok);
    EXPECT_THROW(project.FindByNumber("-2147483648"), EListError);
    EXPECT_THROW(project.FindByNumber("4.-2147483648"), EListError);
    EXPECT_THROW(project.FindByNumber("-2147483648."), EListError);
    EXPECT_THROW(project.FindByNumber("4.2147483647"), ELoadInvalid);
    EXPECT_THROW(project.TreeByIndex(INT_MIN), EListError);
    EXPECT_THROW(project.TreeByIndex(INT_MAX), ELoadInvalid);
    EXPECT_EQ(project.FindByNumber("4.1."), project.FindByNumber("4.1"));
}

TEST(ProjectReadShapes, DeepChainReadsAndSavesBackByteForByte)
{
    // 2 000 levels (4 MB): once cubic in the depth. Two units link the bottom and the top.
    constexpr int kDepth = 2000;
    const TMainTreeList blank;
    auto heading = [&blank](int k) {
        return std::to_string(k) + " " + std::string(blank.Child(k - 1)->Name()) + "\r\n";
    };
    std::string file = "0 P\r\n" + heading(1);
    std::string number = "1";
    for (int level = 1; level <= kDepth; ++level) {
        number += ".1";
        file += number + " n" + std::to_string(level) + "\r\n";
    }
    const std::string bottom = number;
    file += heading(2) + heading(3) + heading(4) + "4.1 u\r\n" + bottom + "\r\n4.2 w\r\n1.1\r\n";

    TMainTreeList project;
    const LoadResult result = project.ReadProjectText(file);
    ASSERT_TRUE(result.Ok) << result.Fault;
    TTreeList* deepest = project.FindByNumber(bottom);
    EXPECT_EQ(deepest->Name(), "n" + std::to_string(kDepth));
    EXPECT_EQ(deepest->Level(), kDepth + 1);
    EXPECT_EQ(linksOf(deepest), (std::vector<TTreeList*>{project.FindByNumber("4.1")}));
    EXPECT_TRUE(project.FindByNumber("1.1")->IsLinkedWith(project.FindByNumber("4.2")));
    EXPECT_TRUE(project.ProjectFileText() == file);  // not EXPECT_EQ: 4 MB in a message
}

TEST(ProjectReadShapes, RepeatedLinkLinesMakeOneLink)
{
    // u names a three times (once with a trailing dot); w names b twice.
    const std::string file = "0 P\r\n1 B\r\n1.1 a\r\n1.2 b\r\n4 S\r\n4.1 u\r\n1.1\r\n1.1\r\n"
                             "1.1.\r\n4.2 w\r\n1.2\r\n1.1\r\n1.2\r\n";
    TMainTreeList project;
    ASSERT_TRUE(project.ReadProjectText(file).Ok);
    TTreeList* a = project.FindByNumber("1.1");
    TTreeList* b = project.FindByNumber("1.2");
    TTreeList* u = project.FindByNumber("4.1");
    TTreeList* w = project.FindByNumber("4.2");
    EXPECT_EQ(linksOf(a), (std::vector<TTreeList*>{u, w}));
    EXPECT_EQ(linksOf(b), (std::vector<TTreeList*>{w}));
    EXPECT_EQ(linksOf(u), (std::vector<TTreeList*>{a}));
    EXPECT_EQ(linksOf(w), (std::vector<TTreeList*>{b, a}));
    const std::string saved = project.ProjectFileText();
    EXPECT_NE(saved.find("4.1 u\r\n1.1\r\n4.2 w\r\n1.1\r\n1.2\r\n"), std::string::npos) << saved;
}

namespace {

std::string tempFile(const std::string& name, const std::string& bytes)
{
    const std::string path = ::testing::TempDir() + "ormelit-read-" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Everything a read leaves: the tree with its links, as the writer puts it, and the outcome.
std::string readState(TMainTreeList& project, const LoadResult& result)
{
    return project.ProjectFileText() + (result.Ok ? "ok" : "fault: " + result.Fault) +
           (result.CutOff ? ", cut off" : "");
}

}  // namespace

// A file is read in blocks of 256 KB: a line end split between two blocks, a line longer than a
// block and the last line without an end read as they do from the whole text; only a last line
// without any end (a CR alone is one) is a cut-off file.
TEST(ProjectReadFile, BlockEdgesReadLikeTheWholeText)
{
    constexpr size_t kBlock = size_t{1} << 18;
    // Filler items of classifier 1, then one line whose end lands on the block edge.
    auto fileWith = [&](size_t endAt, const std::string& lineEnd, const std::string& tail) {
        std::string text = "0 P\r\n1 B\r\n";
        int n = 0;
        while (text.size() + 300 < endAt)
            text += "1." + std::to_string(++n) + " " + std::string(200, 'x') + "\r\n";
        const std::string head = "1." + std::to_string(++n) + " ";
        text += head + std::string(endAt - text.size() - head.size(), 'e') + lineEnd;
        return text + tail;
    };
    const std::string tail = "2 X\r\n2.1 p\r\n1.1\r\n1.2\r\n";
    const std::vector<std::string> files = {
        fileWith(kBlock - 1, "\r\n", tail),    // CR last in the block, LF first in the next
        fileWith(kBlock - 1, "\r", tail),      // CR alone at the edge
        fileWith(kBlock - 1, "\n", tail),      // LF at the edge
        fileWith(kBlock, "\r\n", tail),        // the end starts the next block
        fileWith(kBlock - 1, "\r", "\n"),      // CR at the edge, its LF the last byte
        fileWith(kBlock - 1, "\r", ""),        // the file ends with a CR
        fileWith(2 * kBlock - 10, "", ""),     // no end at all, beyond one block
        "0 P\r\n1 B\r\n1.1 " + std::string(3 * kBlock, 'l') + "\r\n1.1.1 c\n1.2 d\r1.1.1",
        "0 P\r\n1 B\r\n1.1 a\r\n1.1.1 c\r\n9.9\r\n1.2 after the fault\r\n",
        "",
    };
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        TMainTreeList fromText;
        const LoadResult textResult = fromText.ReadProjectText(files[i]);
        TMainTreeList fromFile;
        const LoadResult fileResult =
            fromFile.ReadProjectFile(tempFile(std::to_string(i), files[i]));
        EXPECT_EQ(readState(fromFile, fileResult), readState(fromText, textResult));
        EXPECT_EQ(fileResult.CutOff, i == 6 || i == 7);
        EXPECT_FALSE(fileResult.Unreadable);
        EXPECT_EQ(fromFile.Modified(), fromText.Modified());
    }
}

// Only a regular file is read: a folder, a pipe nobody writes to and a missing file are
// unreadable at once (a pipe must not wait for a writer) and leave a new project behind.
TEST(ProjectReadFile, WhatIsNoRegularFileIsUnreadable)
{
    const std::string fifo = ::testing::TempDir() + "ormelit-read-fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {fifo, ::testing::TempDir(), ::testing::TempDir() + "ormelit-read-missing"}) {
        SCOPED_TRACE(path);
        TMainTreeList project;
        ASSERT_TRUE(project.ReadProjectText(kHead).Ok);
        const LoadResult result = project.ReadProjectFile(path);
        EXPECT_FALSE(result.Ok);
        EXPECT_TRUE(result.Unreadable);
        EXPECT_EQ(project.FileName(), path);
        EXPECT_EQ(project.Child(0)->Count(), 0);
        EXPECT_FALSE(project.Modified());
    }
    ::unlink(fifo.c_str());
}

namespace {

// The reader as the format describes it, a line at a time: each link line is resolved and
// linked when it is read, with the look-ups of FindByNumber.
LoadResult readLineByLine(TMainTreeList& project, const std::string& text)
{
    project.Reset();
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    bool added = false;
    try {
        if (lines.empty())
            throw ELoadInvalid("Line count = 0");
        const auto [first, projectName] = SplitAt(lines[0], " ");
        if (ComponentCount(first) != 1 || Component(first, 1) != 0)
            throw ELoadInvalid("First item number <> 0");
        project.SetName(projectName);
        int block = 0;
        TTreeList* last = nullptr;
        for (size_t i = 1; i < lines.size(); ++i) {
            const auto [number, name] = SplitAt(lines[i], " ");
            if (number.empty())
                throw ELoadInvalid("Empty item number");
            const int b = Component(number, 1);
            const bool single = ComponentCount(number) == 1;
            if (block < b && single) {
                block = b;
                last = nullptr;
            } else if (block <= b) {
                if (single)
                    throw ELoadInvalid("Item number without a parent");
                last = project.FindByNumber(ParentNumber(number))->AddChild(name);
                added = true;
                block = b;
            } else {
                if (!last)
                    throw ELoadInvalid("Link line without an item");
                TTreeList* other = project.FindByNumber(number);
                if (ComponentCount(number) - (number.back() == '.' ? 1 : 0) < 2)
                    throw ELoadInvalid("Link line names no item");
                if (!last->IsLinkedWith(other))
                    last->Link(other);
            }
        }
    } catch (const std::exception& e) {
        project.SetModified(added);
        return {false, e.what()};
    }
    project.SetModified(added);
    return {};
}

// Every node with its number, name and partners in the order of its link list.
std::string dump(TMainTreeList& project)
{
    std::string out(project.Name());
    project.ForEachPreOrder([&out](TTreeList* node, const std::string& number, int) {
        out += "\n" + number + " " + std::string(node->Name()) + " :";
        for (const TTreeList* other : node->Links())
            out += " " + other->Number();
    });
    return out;
}

}  // namespace

// Link lines are held back and resolved in batches, in the order of the items they name; the
// project and the fault must come out as from reading a line at a time: links in the order of
// the lines, repeated lines linked once, and at a bad line (a number naming no item, a damaged
// item line) what came before it kept, also when the batch that holds it is resolved later.
TEST(ProjectReadLinks, DamagedFilesReadAsALineAtATime)
{
    std::mt19937 rng(41);
    auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        // A valid file; large ones hold link lines for several batches.
        const int items = round % 10 == 9 ? 6000 : 20 + static_cast<int>(pick(200));
        TMainTreeList source;
        std::vector<std::vector<TTreeList*>> of(4);
        for (int i = 0; i < items; ++i) {
            const size_t k = pick(4);
            TTreeList* parent = of[k].empty() || pick(4) == 0 ? source.Child(static_cast<int>(k))
                                                              : of[k][pick(of[k].size())];
            of[k].push_back(parent->AddChild("n" + std::to_string(i)));
        }
        for (int i = 0; i < 2 * items; ++i) {
            const size_t a = pick(4);
            const size_t b = pick(4);
            if (a != b && !of[a].empty() && !of[b].empty())
                of[a][pick(of[a].size())]->Link(of[b][pick(of[b].size())]);
        }
        std::vector<std::string> lines;
        std::istringstream in(source.ProjectFileText());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.size() - 1));
        // Damage: link lines repeated, moved among their item's lines, pointed elsewhere or
        // nowhere; now and then an item line that breaks the file.
        // Some share a bad component with others: a fault found once holds for each of them.
        const char* const strays[] = {"9.9", "0", "1", "2.", "1..1", "+1.1", "01.1", "3.0",
                                      "1.-4", "4.1.1.1.1.1.1", "x", "1.99999999999",
                                      "1.-4.2", "1.99999999999.3", "4.1.1.1.1.1.1.5", "9.9.9"};
        const int damage = static_cast<int>(pick(6));
        for (int d = 0; d < damage; ++d) {
            const size_t at = 1 + pick(lines.size() - 1);
            switch (pick(5)) {
            case 0:
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), lines[at]);
                break;
            case 1:
                if (at + 1 < lines.size())
                    std::swap(lines[at], lines[at + 1]);
                break;
            case 2:
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                             strays[pick(std::size(strays))]);
                break;
            case 3:
                lines[at] = lines[1 + pick(lines.size() - 1)].substr(0, lines[at].find(' '));
                break;
            default:
                if (pick(4) == 0)
                    lines[at] = "1.7.7 late";
                break;
            }
        }
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";

        TMainTreeList batched;
        const LoadResult got = batched.ReadProjectText(text);
        TMainTreeList reference;
        const LoadResult want = readLineByLine(reference, text);
        EXPECT_EQ(got.Ok, want.Ok);
        EXPECT_EQ(got.Fault, want.Fault);
        EXPECT_EQ(batched.Modified(), reference.Modified());
        EXPECT_TRUE(dump(batched) == dump(reference)) << text.substr(0, 2000);
    }
}

// An item line may name a parent that already has items after it in pre-order. What came after
// a bad link line is then not what comes after its item in pre-order: the item read out of order
// after the fault goes, and the items read before it stay.
TEST(ProjectReadLinks, ItemsOutOfOrderAroundAFaultReadAsALineAtATime)
{
    const char* const texts[] = {
        // Read out of order after the fault, under an item before the fault's item.
        "0 P\r\n1 A\r\n1.1 a\r\n2 B\r\n2.1 x\r\n2.2 y\r\n1.1\r\n9.9\r\n2.1.1 late\r\n",
        // The fault's item itself read out of order, before an item that follows it in
        // pre-order.
        "0 P\r\n1 A\r\n1.1 a\r\n2 B\r\n2.1 x\r\n2.2 y\r\n2.1.1 late\r\n1.1\r\n9.9\r\n2.3 z\r\n",
        // Both, a level deeper, in a later tree.
        "0 P\r\n1 A\r\n1.1 a\r\n3 C\r\n3.1 x\r\n3.1.1 p\r\n3.1.2 q\r\n3.1.1.1 r\r\n1.1\r\n3.2 s"
        "\r\n3.1.1.2 t\r\n1.1.\r\n1.2\r\n3.1.2.1 u\r\n3.1.1.1.1 v\r\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        TMainTreeList batched;
        const LoadResult got = batched.ReadProjectText(text);
        TMainTreeList reference;
        const LoadResult want = readLineByLine(reference, text);
        EXPECT_FALSE(got.Ok);
        EXPECT_EQ(got.Fault, want.Fault);
        EXPECT_EQ(dump(batched), dump(reference));
    }
}
