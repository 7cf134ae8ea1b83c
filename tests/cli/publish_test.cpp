#include "cli/publishcommand.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/publish/publish.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

using test::TempDir;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Publish(std::vector<std::string> args)
{
    args.insert(args.begin(), "publish");
    std::ostringstream out, err;
    const int code = cli::RunPublish(args, out, err);
    return {code, out.str(), err.str()};
}

TEST(PublishCommand, PublishesRepublishesAndRefuses)
{
    TempDir dir;
    const std::string project = dir.write("p.ovx", ToCp1251("0 Завод\r\n4 Звенья\r\n4.1 Цех №1\r\n"));
    const std::string site = dir.path("сайт");

    Outcome o = Publish({project, "--output", site, "--date", "1 мая"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(TempDir::read(site + "/index.html").find("Опубликовано 1 мая."), std::string::npos);
    EXPECT_NE(TempDir::read(site + "/items/4.1.html").find("Цех №1"), std::string::npos);
    EXPECT_EQ(Publish({project, "--output=" + site}).code, 0);

    std::filesystem::create_directories(dir.path("чужая"));
    dir.write("чужая/заметки.txt", "x");
    o = Publish({project, "-o", dir.path("чужая")});
    EXPECT_EQ(o.code, 4);
    EXPECT_NE(o.err.find("не пуста и не содержит публикации Ормелита"), std::string::npos) << o.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path("чужая")), {}), 1);

    // A project that cannot be read or is not a project writes nothing.
    EXPECT_EQ(Publish({dir.path("нет.ovx"), "-o", dir.path("a")}).code, 2);
    EXPECT_EQ(Publish({dir.write("bad.ovx", "1 x\r\n"), "-o", dir.path("a")}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.path("a")));

    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {project}, {project, "--output"}, {project, "-o", "a", "-o", "b"},
             {project, "x", "-o", "a"}, {project, "--bogus", "-o", "a"}}) {
        o = Publish(args);
        EXPECT_EQ(o.code, 1);
        EXPECT_NE(o.err.find("ormelit-cli publish PROJECT --output DIR"), std::string::npos);
    }
}

}  // namespace
}  // namespace orm
