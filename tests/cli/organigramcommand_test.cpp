#include "cli/organigramcommand.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/model/project.h"
#include "core/organigram/organigramfill.h"
#include "core/organigram/wmfwriter.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

using test::TempDir;

// Structural units three levels deep under 4.1, and a classifier with no items.
const char kProject[] =
    "0 Компания\r\n"
    "1 Бизнес-направления\r\n"
    "4 Структурные звенья\r\n"
    "4.1 Дирекция\r\n"
    "4.1.1 Секретариат\r\n"
    "4.1.1.1 Канцелярия\r\n"
    "4.1.2 Юридический отдел\r\n"
    "4.2 Производство\r\n"
    "4.2.1 Цех\r\n"
    "4.3 Сбыт\r\n";

struct Texts {
    std::string top;
    std::vector<std::pair<std::string, std::vector<std::string>>> columns;
    bool operator==(const Texts&) const = default;
};

Texts TextsOf(const TDiagDataPrim& d)
{
    Texts t;
    t.top = ToUtf8(d.Strings(0));
    for (int i = 1; i < d.Count(); ++i) {
        std::vector<std::string> subs;
        if (const auto* list = d.SubList(i))
            for (const std::string& s : *list) subs.push_back(ToUtf8(s));
        t.columns.push_back({ToUtf8(d.Strings(i)), subs});
    }
    return t;
}

TDiagData Filled(TTreeList& project, const std::string& number)
{
    TDiagData d;
    FillOrganigram(d, *project.FindByNumber(number));
    return d;
}

TEST(FillOrganigram, TakesTheItemItsChildrenAndTheirChildren)
{
    TMainTreeList project;
    ASSERT_TRUE(project.ReadProjectText(ToCp1251(kProject)).Ok);

    EXPECT_EQ(
        TextsOf(Filled(project, "4.1")),
        (Texts{"4.1 Дирекция",
               {{"4.1.1 Секретариат", {"4.1.1.1 Канцелярия"}}, {"4.1.2 Юридический отдел", {}}}}));
    // The classifier's own node: its items in the row, their children below, nothing deeper.
    EXPECT_EQ(TextsOf(Filled(project, "4")),
              (Texts{"4 Структурные звенья",
                     {{"4.1 Дирекция", {"4.1.1 Секретариат", "4.1.2 Юридический отдел"}},
                      {"4.2 Производство", {"4.2.1 Цех"}},
                      {"4.3 Сбыт", {}}}}));
    EXPECT_EQ(TextsOf(Filled(project, "4.1.1.1")), (Texts{"4.1.1.1 Канцелярия", {}}));
    EXPECT_EQ(TextsOf(Filled(project, "2")), (Texts{ToUtf8(project.Child(1)->LineText()), {}}));

    // Filling again replaces what was there.
    TDiagData d = Filled(project, "4");
    FillOrganigram(d, *project.FindByNumber("4.2"));
    EXPECT_EQ(TextsOf(d), (Texts{"4.2 Производство", {{"4.2.1 Цех", {}}}}));
}

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Organigram(std::vector<std::string> args)
{
    args.insert(args.begin(), "organigram");
    std::ostringstream out, err;
    const int code = cli::RunOrganigram(args, out, err);
    return {code, out.str(), err.str()};
}

TEST(CliOrganigram, WritesThePlaceableMetafileOfTheItem)
{
    TempDir dir;
    const std::string project = dir.write("p.ovx", ToCp1251(kProject));
    TDiagData expected;
    expected.SetTop(ToCp1251("4.2 Производство"));
    expected.AddLevel1(ToCp1251("4.2.1 Цех"));

    const Outcome toStdout = Organigram({project, "4.2"});
    EXPECT_EQ(toStdout.code, 0) << toStdout.err;
    EXPECT_EQ(toStdout.err, "");
    EXPECT_EQ(toStdout.out, BuildOrganigramWmf(expected));

    const std::string wmf = dir.path("chart.wmf");
    const Outcome toFile = Organigram({project, "4.2", "--output", wmf});
    EXPECT_EQ(toFile.code, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(TempDir::read(wmf), BuildOrganigramWmf(expected));

    TMainTreeList read;
    ASSERT_TRUE(read.ReadProjectText(ToCp1251(kProject)).Ok);
    const Outcome classifier = Organigram({"--output=" + dir.path("c.wmf"), project, "4"});
    EXPECT_EQ(classifier.code, 0) << classifier.err;
    EXPECT_EQ(TempDir::read(dir.path("c.wmf")), BuildOrganigramWmf(Filled(read, "4")));
}

TEST(CliOrganigram, ItemsThatAreNotThere)
{
    TempDir dir;
    const std::string project = dir.write("p.ovx", ToCp1251(kProject));
    for (const char* item : {"4.9", "4.1.3", "99", "0", "4..1", "4.", ".4", "4.x", "4.1.1.1.1",
                             "4 ", "1.1", "99999999999999999999"}) {
        const Outcome o = Organigram({project, item});
        EXPECT_EQ(o.code, 1) << item;
        EXPECT_EQ(o.out, "") << item;
        EXPECT_EQ(o.err, std::string("ormelit-cli: no item ") + item + " in " + project + "\n");
    }
}

TEST(CliOrganigram, UsageBadProjectsAndWriteFailures)
{
    TempDir dir;
    const std::string project = dir.write("p.ovx", ToCp1251(kProject));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {project},
                                               {project, "4", "4.1"},
                                               {project, "4", "--output"},
                                               {project, "4", "--output", ""},
                                               {project, "4", "-o", "a", "-o", "b"},
                                               {project, "4", "--bogus"}}) {
        const Outcome o = Organigram(args);
        EXPECT_EQ(o.code, 1);
        EXPECT_NE(o.err.find(cli::kOrganigramUsage), std::string::npos);
        EXPECT_EQ(o.out, "");
    }

    // A project with a format fault (a heading after a later block): nothing is drawn from
    // what was read before it.
    const std::string bad = dir.write("bad.ovx", ToCp1251("0 Компания\r\n4.1 Отдел\r\n1 x\r\n"));
    const Outcome faulty = Organigram({bad, "4", "--output", dir.path("bad.wmf")});
    EXPECT_EQ(faulty.code, 2);
    EXPECT_EQ(faulty.err, "Не верный формат проекта!\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path("bad.wmf")));
    EXPECT_EQ(Organigram({dir.path("missing.ovx"), "4"}).code, 2);

    const Outcome cannot = Organigram({project, "4", "--output", dir.path("no/such/dir/x.wmf")});
    EXPECT_EQ(cannot.code, 4);
    EXPECT_NE(cannot.err.find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace orm
