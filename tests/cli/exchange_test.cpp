// The grid out to CSV and back, and items from a text file, from the command line: the round
// trip export, edit, import; every error leaves the project file as it was.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "support/tempdir.h"

using namespace orm;
using test::TempDir;

namespace {

int run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr)
{
    std::ostringstream o, e;
    const int code = cli::Run(args, o, e);
    if (out)
        *out = o.str();
    if (err)
        *err = e.str();
    return code;
}

}  // namespace

TEST(CliExchange, ExportEditImportAndItemsFromText)
{
    TempDir dir;
    const std::string project =
        dir.write("p.ovx", "0 P\r\n1 B\r\n1.1 a\r\n1.2 b\r\n4 S\r\n4.1 u\r\n1.1\r\n4.2 v\r\n");
    std::string csv;
    ASSERT_EQ(run({"export-grid", project, "1", "4"}, &csv), 0);
    EXPECT_EQ(csv, "\xEF\xBB\xBF" "Бизнес-направления // Структурные звенья;1.1 a;1.2 b\r\n"
                   "4.1 u;X;\r\n4.2 v;;\r\n");
    ASSERT_EQ(run({"export-grid", project, "1", "4", "--output", dir.path("g.csv")}), 0);
    EXPECT_EQ(TempDir::read(dir.path("g.csv")), csv);

    // Unbind 4.1–1.1, bind 4.2–1.2; written in place.
    dir.write("edited.csv", "m,1.1 a,1.2 b\n4.1 u,,\n4.2 v,,x\n");
    std::string summary;
    ASSERT_EQ(run({"import-grid", project, "1", "4", dir.path("edited.csv")}, &summary), 0);
    EXPECT_EQ(summary, "Связей будет добавлено: 1\nудалено: 1\nбез изменений: 2\n");
    const std::string written = TempDir::read(project);
    const std::string links = "4.1 u\r\n4.2 v\r\n1.2\r\n";  // the headings are the metamodel's
    EXPECT_EQ(written.substr(written.size() - links.size()), links);

    dir.write("items.txt", "Отдел\n\tГруппа\n");
    std::string added;
    ASSERT_EQ(run({"import-items", project, "4.1", dir.path("items.txt"), "--output",
                   dir.path("q.ovx")}, &added), 0);
    EXPECT_EQ(added, "added 2 items under 4.1\n");
    EXPECT_NE(TempDir::read(dir.path("q.ovx")).find("4.1.1 \xCE\xF2\xE4\xE5\xEB\r\n4.1.1.1 "),
              std::string::npos);

    // Errors: exit 2 (1 for usage), a message naming the fault, nothing written.
    const std::string before = TempDir::read(project);
    dir.write("bad.csv", "m;1.9 x\n4.1 u;X\n");
    dir.write("bad.txt", "a\n\t\tb\n");
    std::string err;
    EXPECT_EQ(run({"import-grid", project, "1", "4", dir.path("bad.csv")}, nullptr, &err), 2);
    EXPECT_EQ(err, "Строка 1: столбец «1.9 x» не совпадает ни с одним элементом.\n");
    EXPECT_EQ(run({"import-items", project, "4", dir.path("bad.txt")}, nullptr, &err), 2);
    EXPECT_EQ(err, "Строка 2: уровень больше чем на один глубже предыдущей строки.\n");
    EXPECT_EQ(run({"import-items", project, "4.7", dir.path("items.txt")}), 1);
    EXPECT_EQ(run({"export-grid", project, "4", "1"}), 1);
    EXPECT_EQ(run({"import-grid", project, "1", "4", dir.path("missing.csv")}), 2);
    EXPECT_EQ(TempDir::read(project), before);
}
