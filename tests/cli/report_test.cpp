#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/reportcommand.h"
#include "core/model/project.h"
#include "core/report/reportgen.h"
#include "core/report/reporttest.h"
#include "support/tempdir.h"

using namespace orm;
using namespace orm::test;

namespace {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome report(std::vector<std::string> args)
{
    args.insert(args.begin(), "report");
    std::ostringstream out, err;
    const int code = cli::RunReport(args, out, err);
    return {code, out.str(), err.str()};
}

// A saved project with units three levels deep and processes bound to them.
struct Saved {
    TempDir dir;
    TMainTreeList project;
    std::string path = dir.path("p.ovx");
    Saved()
    {
        Populate(project,
                 "2.1 Закупки, 2.1.1 Заказ, 3.1 Планирование, 4.1 Дирекция, 4.1.1 Склад,"
                 "4.1.1.1 Рампа, 4.2 Бухгалтерия",
                 "2.1 4.1.1, 2.1.1 4.1.1.1, 3.1 4.1");
        project.SetFileName(path);
        EXPECT_TRUE(project.WriteProjectFile());
    }
    std::string expected(int n, const std::vector<ParamChoice>& choices, bool rtf, bool info)
    {
        return GenerateReport(project, n, choices, {rtf, info}).Document.Bytes;
    }
};

}  // namespace

TEST(CliReport, WritesTheGeneratorsDocumentFromDefaultsOrParams)
{
    Saved s;
    for (int n = 1; n <= 4; ++n) {
        const Outcome txt = report({s.path, std::to_string(n)});
        EXPECT_EQ(txt.code, 0) << txt.err;
        EXPECT_EQ(txt.out, s.expected(n, {}, false, false)) << n;
        EXPECT_EQ(report({s.path, std::to_string(n), "--format", "rtf", "--info"}).out,
                  s.expected(n, {}, true, true));
    }
    EXPECT_EQ(report({s.path, "3", "--param", "1=4.1.1:1"}).out,
              s.expected(3, {{"4.1.1", 1}}, false, false));
    EXPECT_EQ(report({s.path, "1", "--param=1=4:2", "--format=rtf"}).out,
              s.expected(1, {{"4", 2}}, true, false));

    const std::string file = s.dir.path("r.rtf");
    const Outcome written = report({s.path, "2", "-o", file, "--format", "rtf"});
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(TempDir::read(file), s.expected(2, {}, true, false));

    // Reports the menu does not offer: the first process by default, or the one given.
    const auto five = TextLines(report({s.path, "5"}).out);
    ASSERT_GE(five.size(), 6u);
    EXPECT_EQ(five[0], "Положение о внутрифирменной деятельности (основной и обеспечивающей)");
    EXPECT_EQ(five[5], "    2.1.1 Заказ");
    const auto six = TextLines(report({s.path, "6", "--param", "1=3.1:1", "--info"}).out);
    EXPECT_EQ(six[1], "Планирование");
    EXPECT_EQ(six[6], "    Уровни детализации : 1");
}

TEST(CliReport, ChecksRunInOrderSyntaxProjectRowsValues)
{
    Saved s;
    const std::string bad = s.dir.write("bad.ovx", "");
    const std::string noUnits = s.dir.write("nounits.ovx", "0 P\r\n1 B\r\n1.1 x\r\n");

    // The command line first, even with a bad project.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {bad}, {bad, "13"}, {bad, "1", "2"}, {bad, "1", "--format", "pdf"},
             {bad, "1", "--bogus"}, {bad, "1", "--param", "2=4"}, {bad, "1", "--param", "1"},
             {bad, "1", "--param", "1=4:"}, {bad, "1", "--param", "1=:1"},
             {bad, "1", "--param", "1=4", "--param", "1=4"}}) {
        const Outcome o = report(args);
        EXPECT_EQ(o.code, 1) << args.back();
        EXPECT_NE(o.err.find("Usage:"), std::string::npos);
    }

    // Then the project; nothing is written for a bad or a missing one.
    const std::string file = s.dir.path("r.txt");
    for (const std::string& project : {bad, s.dir.path("missing.ovx")}) {
        const Outcome o = report({project, "7", "--param", "1=9.9", "--output", file});
        EXPECT_EQ(o.code, 2);
        EXPECT_EQ(o.err, "Не верный формат проекта!\n");
    }
    EXPECT_FALSE(std::filesystem::exists(file));

    // Then the rows in row order, before any --param value.
    const std::pair<std::vector<std::string>, const char*> rowCases[] = {
        {{noUnits, "3", "--param", "1=4.9"}, "Не заданы Структурные звенья!\n"},
        {{s.path, "8"}, "Не заданы Возможности внешней среды!\n"},
        {{s.path, "11", "--param", "2=1.9"}, "Не заданы Стратегические цели!\n"},
    };
    for (const auto& [args, message] : rowCases) {
        const Outcome o = report(args);
        EXPECT_EQ(o.code, 3);
        EXPECT_EQ(o.err, message);
    }

    // Last the values, each limited as the dialog limits it.
    const std::pair<std::vector<std::string>, const char*> valueCases[] = {
        {{"3", "1=4.9"}, "1=4.9: there is no item numbered 4.9"},
        {{"3", "1=04.1"}, "1=04.1: there is no item numbered 04.1"},
        {{"3", "1=0"}, "1=0: there is no item numbered 0"},
        {{"3", "1=2.1"}, "1=2.1: 2.1 is not in classifier 4 (Структурные звенья)"},
        {{"3", "1=4"}, "1=4: report 3 needs one item of classifier 4, not the whole classifier"},
        {{"1", "1=4.1"}, "1=4.1: report 1 takes the whole classifier 4: START must be 4"},
        {{"1", "1=4:4"}, "1=4:4: LEVELS must be 0 (all) to 3 for 4"},
        {{"3", "1=4.2:2"}, "1=4.2:2: LEVELS must be 0 (all) to 1 for 4.2"},
        {{"3", "1=4.1:99999999999"}, "1=4.1:99999999999: LEVELS must be 0 (all) to 3 for 4.1"},
    };
    for (const auto& [args, message] : valueCases) {
        const Outcome o = report({s.path, args[0], "--param", args[1]});
        EXPECT_EQ(o.code, 1) << message;
        EXPECT_EQ(o.err, "ormelit-cli: --param " + std::string(message) + "\n");
        EXPECT_EQ(o.out, "");
    }
}

TEST(CliReport, AFailedWriteIsNotSuccess)
{
    Saved s;
    const Outcome o = report({s.path, "1", "--output", s.dir.path("missing/r.txt")});
    EXPECT_EQ(o.code, 4);
    EXPECT_EQ(o.err.rfind("ormelit-cli: cannot write ", 0), 0u) << o.err;

    std::ostringstream closed, err;
    closed.setstate(std::ios::badbit);
    EXPECT_EQ(cli::RunReport({"report", s.path, "1"}, closed, err), 4);
}
