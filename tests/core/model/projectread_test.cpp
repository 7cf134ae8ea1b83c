// The project reader on numbers at the ends of int and on files of extreme shape: every number
// component outside 1..the child count is a format fault that keeps what was read before it, and
// deep or long numbers read (and save back) in one pass.

#include <gtest/gtest.h>

#include <climits>

#include "core/model/project.h"

using namespace orm;

namespace {

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
        return std::to_string(k) + " " + blank.Child(k - 1)->Name() + "\r\n";
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
    EXPECT_EQ(deepest->Links(), (std::vector<TTreeList*>{project.FindByNumber("4.1")}));
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
    EXPECT_EQ(a->Links(), (std::vector<TTreeList*>{u, w}));
    EXPECT_EQ(b->Links(), (std::vector<TTreeList*>{w}));
    EXPECT_EQ(u->Links(), (std::vector<TTreeList*>{a}));
    EXPECT_EQ(w->Links(), (std::vector<TTreeList*>{b, a}));
    const std::string saved = project.ProjectFileText();
    EXPECT_NE(saved.find("4.1 u\r\n1.1\r\n4.2 w\r\n1.1\r\n1.2\r\n"), std::string::npos) << saved;
}
