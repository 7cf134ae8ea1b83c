#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/settings/recentfiles.h"
#include "support/tempdir.h"

namespace orm {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

TEST(RecentFiles, NewestFirstEachOnceAtMostEight)
{
    RecentFiles recent;
    for (int i = 1; i <= 10; ++i)
        EXPECT_TRUE(recent.Add("/p/" + std::to_string(i) + ".ovx"));
    ASSERT_EQ(recent.Paths().size(), 8u);
    EXPECT_EQ(recent.Paths().front(), "/p/10.ovx");
    EXPECT_EQ(recent.Paths().back(), "/p/3.ovx");

    // The same file by another spelling moves up instead of appearing twice.
    EXPECT_TRUE(recent.Add("/p/x/../5.ovx"));
    EXPECT_EQ(recent.Paths(), (Paths{"/p/5.ovx", "/p/10.ovx", "/p/9.ovx", "/p/8.ovx", "/p/7.ovx",
                                     "/p/6.ovx", "/p/4.ovx", "/p/3.ovx"}));
    EXPECT_FALSE(recent.Add("/p/5.ovx"));  // already first: nothing to save
    EXPECT_FALSE(recent.Add(""));

    // A relative name is kept absolute, against the working folder.
    recent.Add("plan.rem");
    EXPECT_EQ(recent.Paths().front(), (fs::current_path() / "plan.rem").string());
}

TEST(RecentFiles, MissingFilesAreDropped)
{
    test::TempDir dir;
    const std::string kept = dir.write("kept.ovx", "0 P\r\n");
    RecentFiles recent;
    recent.Add(dir.path("gone.ovx"));
    recent.Add(kept);
    recent.Add(dir.path("also-gone.rem"));
    EXPECT_TRUE(recent.DropMissing());
    EXPECT_EQ(recent.Paths(), Paths{kept});
    EXPECT_FALSE(recent.DropMissing());
}

TEST(RecentFiles, KeptInTheStateFileAsTheSystemSpellsThem)
{
    test::TempDir dir;
    ProgramState state;
    state.FileName = dir.path("state/ormelit/state.ini");
    const std::string cyrillic = dir.path("Проекты/план.ovx");
    RecentFiles recent;
    recent.Add("/srv/a.rem");
    recent.Add("/srv/snow\xE2\x98\x83.ovx");  // no Windows-1251 for it, none needed
    recent.Add("/srv/two\nlines.ovx");       // would read back as another name: left out
    recent.Add(cyrillic);
    ASSERT_TRUE(recent.Save(state));
    const Paths kept{cyrillic, "/srv/snow\xE2\x98\x83.ovx", "/srv/a.rem"};
    EXPECT_EQ(state.RecentProjects, kept);

    ProgramState next;
    LoadProgramState(next, state.FileName, {});
    RecentFiles read;
    read.Load(next.RecentProjects);
    EXPECT_EQ(read.Paths(), kept);

    // A shorter list takes its extra keys out.
    read.Remove("/srv/a.rem");
    read.Remove(cyrillic);
    ASSERT_TRUE(read.Save(next));
    EXPECT_EQ(test::TempDir::read(state.FileName),
              "[RECENT_FILES]\r\nFILE1=/srv/snow\xE2\x98\x83.ovx\r\n");
}

TEST(RecentFiles, HandEditedEntriesThatLeadNowhereAreSkipped)
{
    RecentFiles recent;
    recent.Load({"/a/b.ovx", "", "relative.ovx", "/a/./b.ovx", "/c.rem"});
    EXPECT_EQ(recent.Paths(), (Paths{"/a/b.ovx", "/c.rem"}));
    recent.Load({});
    EXPECT_TRUE(recent.Paths().empty());
}

}  // namespace
}  // namespace orm
