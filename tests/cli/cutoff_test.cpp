// A project file whose last line has no line break: every command warns on standard error and
// otherwise does exactly what it does with the whole file, the last line included.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "support/tempdir.h"

using namespace orm;
using test::TempDir;

TEST(CliCutOff, EveryCommandWarnsAndOtherwiseActsAsOnTheWholeFile)
{
    TempDir dir;
    const std::string text = "0 P\r\n1 B\r\n1.1 a\r\n4 S\r\n4.1 u\r\n4.1.1 v\r\n1.1";
    const std::string whole = dir.write("whole.ovx", text + "\r\n");
    const std::string cut = dir.write("cut.ovx", text);
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"resave", "", "--output", dir.path("out")},
             {"report", "", "1", "--format", "txt"},
             {"organigram", "", "4.1"}}) {
        SCOPED_TRACE(args[0]);
        std::ostringstream out[2], err[2];
        std::string written[2];
        int code[2];
        for (int i = 0; i < 2; ++i) {
            args[1] = i ? cut : whole;
            code[i] = cli::Run(args, out[i], err[i]);
            written[i] = TempDir::read(dir.path("out"));
        }
        EXPECT_EQ(code[1], code[0]);
        EXPECT_EQ(out[1].str(), out[0].str());
        EXPECT_EQ(written[1], written[0]);
        EXPECT_EQ(err[1].str(), err[0].str() + "Файл «" + cut +
                                    "» обрывается на последней строке: возможно, он записан "
                                    "не полностью.\n");
    }
}
