#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/settings/programstate.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

TEST(ProgramState, TheFileLivesInTheUsersStateFolder)
{
    EXPECT_EQ(StateFileNameFor("/x/state", "/home/u"), "/x/state/ormelit/state.ini");
    EXPECT_EQ(StateFileNameFor("", "/home/u"), "/home/u/.local/state/ormelit/state.ini");
    EXPECT_EQ(StateFileNameFor("relative", "/home/u"), "/home/u/.local/state/ormelit/state.ini");
    EXPECT_EQ(StateFileNameFor("", ""), "");
    EXPECT_EQ(StateFileNameFor("", "relative"), "");
}

TEST(ProgramState, WindowSizesAreKeptAndNonsenseIsNone)
{
    test::TempDir dir;
    ProgramState state;
    LoadProgramState(state, dir.path("s/state.ini"), {});
    EXPECT_FALSE(state.OrganigramSize.IsKept());
    ASSERT_TRUE(SaveWindowSize(state, "TF_WMF", {640, 480}));
    ASSERT_TRUE(SaveWindowSize(state, "TF_RTF", {700, 500}));
    const std::string saved = "[WINDOWS]\r\nTF_WMF_WIDTH=640\r\nTF_WMF_HEIGHT=480\r\n"
                              "TF_RTF_WIDTH=700\r\nTF_RTF_HEIGHT=500\r\n";
    EXPECT_EQ(test::TempDir::read(state.FileName), saved);
    // The same size again writes nothing; another form or no size at all is refused.
    ::chmod(state.FileName.c_str(), 0444);
    EXPECT_TRUE(SaveWindowSize(state, "TF_WMF", {640, 480}));
    EXPECT_FALSE(SaveWindowSize(state, "TF_MAIN", {640, 480}));
    EXPECT_FALSE(SaveWindowSize(state, "TF_RTF", {0, 480}));
    ::chmod(state.FileName.c_str(), 0644);

    ProgramState next;
    LoadProgramState(next, state.FileName, {});
    EXPECT_EQ(next.OrganigramSize, (WindowSize{640, 480}));
    EXPECT_EQ(next.ReportViewerSize, (WindowSize{700, 500}));

    dir.write("s/state.ini", "[WINDOWS]\r\nTF_WMF_WIDTH=wide\r\nTF_WMF_HEIGHT=480\r\n"
                             "TF_RTF_WIDTH=-5\r\nTF_RTF_HEIGHT=9999999\r\n");
    LoadProgramState(next, state.FileName, {});
    EXPECT_FALSE(next.OrganigramSize.IsKept());
    EXPECT_FALSE(next.ReportViewerSize.IsKept());
}

TEST(ProgramState, TakenOnceFromTheOldSettingsFilesWhichStayAsTheyAre)
{
    test::TempDir dir;
    const std::string plan = dir.path("Планы/завод.ovx");
    // Where an installed program wrote them (the user's copy) comes first, section by section.
    const std::string user = dir.write(
        "user.INI", ToCp1251("[GRIDS]\r\nUSE_HINT=yes\r\n[RECENT_FILES]\r\nFILE1=" + plan +
                             "\r\nFILE2=relative.ovx\r\nFILE3=/b.rem\r\n"
                             "[WINDOWS]\r\nTF_RTF_WIDTH=700\r\nTF_RTF_HEIGHT=500\r\n"));
    const std::string beside = dir.write(
        "ormelit.INI", "[RECENT_FILES]\r\nFILE1=/other.ovx\r\n"
                       "[WINDOWS]\r\nTF_WMF_WIDTH=640\r\nTF_WMF_HEIGHT=480\r\n");
    const std::string userBytes = test::TempDir::read(user);
    const std::string besideBytes = test::TempDir::read(beside);
    const std::string file = dir.path("state/ormelit/state.ini");

    ProgramState state;
    LoadProgramState(state, file, {"", user, beside});
    EXPECT_EQ(state.RecentProjects, (Paths{plan, "/b.rem"}));
    EXPECT_EQ(state.ReportViewerSize, (WindowSize{700, 500}));
    EXPECT_EQ(state.OrganigramSize, (WindowSize{640, 480}));
    EXPECT_EQ(test::TempDir::read(file),
              "[RECENT_FILES]\r\nFILE1=" + plan + "\r\nFILE2=/b.rem\r\n[WINDOWS]\r\n"
              "TF_RTF_WIDTH=700\r\nTF_RTF_HEIGHT=500\r\nTF_WMF_WIDTH=640\r\nTF_WMF_HEIGHT=480\r\n");
    EXPECT_EQ(test::TempDir::read(user), userBytes);
    EXPECT_EQ(test::TempDir::read(beside), besideBytes);

    // Once: from now on the state file is what counts, whatever the old files say.
    SaveRecentProjects(state, {"/new.ovx"});
    LoadProgramState(state, file, {user, beside});
    EXPECT_EQ(state.RecentProjects, Paths{"/new.ovx"});

    // Nothing to take: no file is made.
    const std::string none = dir.path("none/state.ini");
    LoadProgramState(state, none, {dir.write("plain.INI", "[GRIDS]\r\nUSE_HINT=1\r\n")});
    EXPECT_TRUE(state.RecentProjects.empty());
    EXPECT_FALSE(fs::exists(dir.path("none")));
}

// A state file that cannot be used reads as nothing kept and says nothing; a write that fails
// still holds in memory; the old settings file is never touched.
TEST(ProgramState, ADamagedOrUnwritableStateFileIsIgnored)
{
    struct Case {
        const char* name;
        std::function<std::string(test::TempDir&)> make;  // the state file's name
        bool writable;                                     // a write can replace it
    };
    const Case cases[] = {
        {"binary junk",
         [](test::TempDir& d) {
             return d.write("state.ini", std::string("\0\x01[\xFF\r\n=\x9C]\0", 10));
         },
         true},
        {"UTF-16",
         [](test::TempDir& d) { return d.write("state.ini", "\xFF\xFE[\0W\0]\0"); }, true},
        {"far too large",
         [](test::TempDir& d) {
             return d.write("state.ini", "[WINDOWS]\r\nTF_WMF_WIDTH=640\r\nTF_WMF_HEIGHT=480\r\n" +
                                             std::string(2 << 20, ';'));
         },
         true},
        {"a folder",
         [](test::TempDir& d) {
             fs::create_directories(d.path("state.ini/x"));
             return d.path("state.ini");
         },
         false},
        {"read-only",
         [](test::TempDir& d) {
             const std::string f = d.write("state.ini", "[WINDOWS]\r\nTF_RTF_WIDTH=9\r\n");
             ::chmod(f.c_str(), 0444);
             return f;
         },
         false},
        {"folder blocked by a file",
         [](test::TempDir& d) { return d.write("blocked", "") + "/ormelit/state.ini"; }, false},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string old = dir.write("ormelit.INI", "[RECENT_FILES]\r\nFILE1=/old.ovx\r\n");
        const std::string file = c.make(dir);
        ProgramState state;
        LoadProgramState(state, file, {old});
        EXPECT_FALSE(state.OrganigramSize.IsKept()) << c.name;
        EXPECT_FALSE(state.ReportViewerSize.IsKept()) << c.name;

        EXPECT_EQ(SaveWindowSize(state, "TF_WMF", {300, 200}), c.writable) << c.name;
        EXPECT_EQ(state.OrganigramSize, (WindowSize{300, 200})) << c.name;
        EXPECT_EQ(SaveRecentProjects(state, {"/p.ovx"}), c.writable) << c.name;
        EXPECT_EQ(state.RecentProjects, Paths{"/p.ovx"}) << c.name;
        EXPECT_EQ(test::TempDir::read(old), "[RECENT_FILES]\r\nFILE1=/old.ovx\r\n") << c.name;

        ProgramState next;
        LoadProgramState(next, file, {old});
        if (c.writable) {
            EXPECT_EQ(next.OrganigramSize, (WindowSize{300, 200})) << c.name;
            EXPECT_EQ(next.RecentProjects, Paths{"/p.ovx"}) << c.name;
        }
        ::chmod(file.c_str(), 0644);
    }
}

}  // namespace
}  // namespace orm
