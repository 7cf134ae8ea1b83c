// The program leaves its project to the end of the process instead of destroying it: what it
// writes, prints and returns stays what the same command gives in process, where projects are
// destroyed as usual.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

using namespace orm;
using test::TempDir;

namespace {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome inProcess(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err);
    return {code, out.str(), err.str()};
}

std::string quoted(const std::string& arg)
{
    return "'" + arg + "'";
}

Outcome asProgram(const TempDir& dir, const std::vector<std::string>& args)
{
    std::string command = ORMELIT_CLI_PATH;
    for (const std::string& a : args)
        command += " " + quoted(a);
    command += " >" + quoted(dir.path("stdout")) + " 2>" + quoted(dir.path("stderr"));
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempDir::read(dir.path("stdout")),
            TempDir::read(dir.path("stderr"))};
}

const char kProject[] = "0 P\r\n1 B\r\n1.1 a\r\n1.2 b\r\n2 F\r\n2.1 f\r\n4 S\r\n4.1 u\r\n"
                        "1.2\r\n2.1\r\n4.1.1 v\r\n1.1\r\n";

}  // namespace

TEST(CliExit, TheProgramAnswersAsTheCommandsDoInProcess)
{
    TempDir dir;
    const std::string good = dir.write("good.ovx", kProject);
    // A format fault after the first item: resave writes what was read and returns 2.
    const std::string bad = dir.write("bad.ovx", "0 P\r\n4 S\r\n4.1 u\r\n1 x\r\n");
    const std::vector<std::vector<std::string>> commands = {
        {"resave", good, "--output", "OUT"},
        {"resave", bad, "--output", "OUT"},
        {"resave", dir.path("missing.ovx"), "--output", "OUT"},
        {"report", good, "1"},
        {"report", good, "3", "--param", "1=4.1", "--format", "rtf", "--info"},
        {"report", good, "5", "--output", "OUT"},
        {"report", bad, "1"},
        {"report", good, "9"},
        {"report", good, "2", "--param", "1=7"},
    };
    for (std::vector<std::string> args : commands) {
        const std::string label = args[0] + " " + args[2];
        std::replace(args.begin(), args.end(), std::string("OUT"), dir.path("a.out"));
        const Outcome here = inProcess(args);
        const std::string hereFile = TempDir::read(dir.path("a.out"));
        std::filesystem::remove(dir.path("a.out"));
        std::replace(args.begin(), args.end(), dir.path("a.out"), dir.path("b.out"));
        const Outcome there = asProgram(dir, args);
        EXPECT_EQ(there.code, here.code) << label;
        EXPECT_EQ(there.out, here.out) << label;
        EXPECT_EQ(there.err, here.err) << label;
        EXPECT_EQ(TempDir::read(dir.path("b.out")), hereFile) << label;
        std::filesystem::remove(dir.path("b.out"));
    }
}

// With projects left to the exit, commands in a row still each read their own project: the
// one left before is freed, and the results are those of destroyed projects.
TEST(CliExit, LeftProjectsDoNotMixBetweenCommands)
{
    TempDir dir;
    const std::string first = dir.write("first.ovx", kProject);
    const std::string second = dir.write("second.ovx", "0 Q\r\n2 F\r\n2.1 g\r\n");
    const Outcome a = inProcess({"report", first, "1"});
    const Outcome b = inProcess({"report", second, "1"});
    cli::LeaveProjectsToProcessExit(true);
    const Outcome a2 = inProcess({"report", first, "1"});
    const Outcome b2 = inProcess({"report", second, "1"});
    const Outcome r2 = inProcess({"resave", second, "--output", dir.path("r.ovx")});
    cli::LeaveProjectsToProcessExit(false);
    EXPECT_EQ(a2.out, a.out);
    EXPECT_EQ(b2.out, b.out);
    EXPECT_NE(a.out, b.out);
    EXPECT_EQ(r2.code, 0);
    EXPECT_EQ(TempDir::read(dir.path("r.ovx")).substr(0, 5), "0 Q\r\n");
}
