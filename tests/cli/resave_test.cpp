#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"
#include "version.h"

using namespace orm;
using test::TempDir;

namespace {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome run(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err);
    return {code, out.str(), err.str()};
}

}  // namespace

TEST(CliResave, RewritesAProjectInTheProgramsOwnForm)
{
    TempDir dir;
    const std::string in = dir.write("in.ovx", ToCp1251("0 Компания\n4.1 Отдел\n1 x\n"));
    // The heading of block 4 is missing and the blocks are out of order: the second heading
    // reads as a link line to a classifier, a format fault after "4.1 Отдел".
    const Outcome bad = run({"resave", in, "--output", dir.path("out.ovx")});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.err, "Не верный формат проекта!\n");
    EXPECT_EQ(TempDir::read(dir.path("out.ovx")),
              ToCp1251("0 Компания\r\n1 Бизнес-направления\r\n"
                       "2 Основные и обеспечивающие процессы/функции\r\n"
                       "3 Процессы/функции управления\r\n4 Структурные звенья\r\n4.1 Отдел\r\n"));

    const std::string good = dir.write("good.ovx", "0 P\n1 B\n1.1 a\n4 S\n4.1 u\n1.1\n1.1\n");
    const Outcome ok = run({"resave", good, "-o", dir.path("good2.ovx")});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.err, "");
    const std::string written = TempDir::read(dir.path("good2.ovx"));
    EXPECT_NE(written.find("\r\n4.1 u\r\n1.1\r\n"), std::string::npos);
    EXPECT_EQ(written.find("1.1\r\n1.1\r\n"), std::string::npos);
}

TEST(CliResave, AnInputThatCannotBeOpenedWritesNothing)
{
    TempDir dir;
    const std::string out = dir.write("out.ovx", "0 Kept\r\n");
    const std::string unreadable = dir.write("locked.ovx", "0 P\r\n");
    ::chmod(unreadable.c_str(), 0);
    struct Case {
        std::string input;
        std::string reason;
    };
    std::vector<Case> cases = {{dir.path("mistyped.ovx"), "No such file or directory"},
                               {dir.root().string(), "Is a directory"},
                               {dir.path("mistyped/in.ovx"), "No such file or directory"},
                               // nobody writes to it: reading must not wait
                               {dir.path("pipe"), "not a regular file"}};
    ASSERT_EQ(::mkfifo(dir.path("pipe").c_str(), 0600), 0);
    if (::geteuid() != 0)  // root reads it anyway
        cases.push_back({unreadable, "Permission denied"});
    for (const Case& c : cases) {
        const Outcome o = run({"resave", c.input, "--output", out});
        EXPECT_EQ(o.code, 2) << c.input;
        EXPECT_EQ(o.err, "ormelit-cli: cannot read " + c.input + ": " + c.reason + "\n");
        EXPECT_EQ(TempDir::read(out), "0 Kept\r\n") << c.input;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("new.ovx")));
    EXPECT_EQ(run({"resave", dir.path("mistyped.ovx"), "-o", dir.path("new.ovx")}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.path("new.ovx")));

    // An empty file opens: it is a format fault, and what was read (nothing) is written.
    const std::string empty = dir.write("empty.ovx", "");
    const Outcome faulty = run({"resave", empty, "--output", out});
    EXPECT_EQ(faulty.code, 2);
    EXPECT_EQ(faulty.err, "Не верный формат проекта!\n");
    EXPECT_NE(TempDir::read(out), "0 Kept\r\n");
}

TEST(CliResave, UsageAndWriteFailures)
{
    TempDir dir;
    const std::string in = dir.write("in.ovx", "0 P\r\n");
    EXPECT_EQ(run({}).code, 1);
    EXPECT_EQ(run({"resave"}).code, 1);
    EXPECT_EQ(run({"resave", in}).code, 1);
    EXPECT_EQ(run({"resave", in, "--output"}).code, 1);
    EXPECT_EQ(run({"resave", in, "--bogus", "x"}).code, 1);
    EXPECT_EQ(run({"frobnicate"}).code, 1);
    const Outcome usage = run({"resave", in, in, "--output", dir.path("o")});
    EXPECT_EQ(usage.code, 1);
    EXPECT_NE(usage.err.find("Usage:"), std::string::npos);
    // --help and --version answer on standard output, also from the executable.
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out.substr(0, 6), "Usage:");
    EXPECT_TRUE(help.err.empty());
    const std::string cli = ORMELIT_CLI_PATH;
    EXPECT_EQ(WEXITSTATUS(std::system((cli + " --version > " + dir.path("v")).c_str())), 0);
    EXPECT_EQ(TempDir::read(dir.path("v")), std::string("ormelit-cli ") + ORMELIT_VERSION + "\n");
    EXPECT_EQ(WEXITSTATUS(std::system((cli + " --help > " + dir.path("h")).c_str())), 0);
    EXPECT_EQ(TempDir::read(dir.path("h")), help.out);
    EXPECT_EQ(WEXITSTATUS(std::system((cli + " --versions 2>/dev/null").c_str())), 1);

    const Outcome cannot = run({"resave", in, "--output", dir.path("missing/dir/o.ovx")});
    EXPECT_EQ(cannot.code, 4);
    EXPECT_NE(cannot.err.find("cannot write"), std::string::npos);
}

TEST(CliResave, TheExecutableReportsItsExitCode)
{
    TempDir dir;
    const std::string in = dir.write("in.ovx", "0 P\r\n1 B\r\n1.1 a\r\n");
    const std::string command = std::string(ORMELIT_CLI_PATH) + " resave '" + in +
                                "' --output '" + dir.path("o.ovx") + "' 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
    EXPECT_EQ(TempDir::read(dir.path("o.ovx")).substr(0, 7), "0 P\r\n1 ");
    const std::string broken = dir.write("broken.ovx", "");
    const std::string command2 = std::string(ORMELIT_CLI_PATH) + " resave '" + broken +
                                 "' --output '" + dir.path("o2.ovx") + "' 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(command2.c_str())), 2);
}
