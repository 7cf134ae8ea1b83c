#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/model/cp1251.h"
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

TEST(RecentFiles, KeptInASectionOfTheirOwn)
{
    test::TempDir dir;
    const std::string before = "; mine\r\n[GRIDS]\r\nUSE_HINT=yes\r\n\r\n[EXTRAMENU1]\r\nNAME=X\r\n";
    AppSettings settings;
    settings.SettingsFileName = dir.write("ormelit.INI", before);

    const std::string cyrillic = dir.path("Проекты/план.ovx");
    RecentFiles recent;
    recent.Add("/srv/a.rem");
    recent.Add("/srv/snow\xE2\x98\x83.ovx");  // no Windows-1251 for it: left out of the file
    recent.Add(cyrillic);
    ASSERT_TRUE(recent.Save(settings));
    EXPECT_EQ(test::TempDir::read(settings.SettingsFileName),
              before + "[RECENT_FILES]\r\nFILE1=" + ToCp1251(cyrillic) +
                  "\r\nFILE2=/srv/a.rem\r\n");

    RecentFiles read;
    read.Load(settings.SettingsFileName);
    EXPECT_EQ(read.Paths(), (Paths{cyrillic, "/srv/a.rem"}));

    // A shorter list takes its extra keys out; other sections keep every byte.
    read.Remove("/srv/a.rem");
    ASSERT_TRUE(read.Save(settings));
    EXPECT_EQ(test::TempDir::read(settings.SettingsFileName),
              before + "[RECENT_FILES]\r\nFILE1=" + ToCp1251(cyrillic) + "\r\n");
}

TEST(RecentFiles, HandEditedEntriesThatLeadNowhereAreSkipped)
{
    test::TempDir dir;
    const std::string ini = dir.write(
        "ormelit.INI",
        "[RECENT_FILES]\r\nFILE1=/a/b.ovx\r\nFILE2=\r\nFILE3=relative.ovx\r\nFILE4=/a/./b.ovx\r\n"
        "FILE5=/c.rem\r\nFILE9=/beyond.ovx\r\n");
    RecentFiles recent;
    recent.Load(ini);
    EXPECT_EQ(recent.Paths(), (Paths{"/a/b.ovx", "/c.rem"}));
    recent.Load(dir.path("missing.INI"));
    EXPECT_TRUE(recent.Paths().empty());
}

}  // namespace
}  // namespace orm
