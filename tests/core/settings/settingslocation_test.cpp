#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "core/help/helpindex.h"
#include "core/settings/appsettings.h"
#include "core/text/cp1251.h"
#include "support/scopedenv.h"
#include "support/tempdir.h"

namespace orm {
namespace {

namespace fs = std::filesystem;

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A prefix as `cmake --install` leaves it: bin/ormelit, and the marker when installed. The
// folders stay writable unless a test locks bin/.
class SettingsLocationTest : public ::testing::Test {
protected:
    SettingsLocationTest()
        : m_bin(m_dir.path("prefix/bin")), m_exe(m_bin + "/ormelit"),
          m_beside(m_bin + "/ormelit.INI"), m_config(m_dir.path("config")),
          m_home(m_dir.path("home")), m_user(m_config + "/ormelit/ormelit.INI")
    {
        fs::create_directories(m_bin);
        fs::create_directories(m_home);
        m_dir.write("prefix/bin/ormelit", "");
    }
    ~SettingsLocationTest() override { ::chmod(m_bin.c_str(), 0755); }

    void install()
    {
        const std::string marker = InstallMarkerFor(m_exe);
        fs::create_directories(fs::path(marker).parent_path());
        std::ofstream(marker) << "installed\n";
    }
    void administer(const std::string& bytes) { m_dir.write("prefix/bin/ormelit.INI", bytes); }
    void userFile(const std::string& bytes)
    {
        fs::create_directories(m_config + "/ormelit");
        m_dir.write("config/ormelit/ormelit.INI", bytes);
    }
    // A start of the program: the settings as read, and what the dialog would show.
    void start()
    {
        m_settings = AppSettings();
        m_font = FontSpec();
        LoadSettings(m_settings, m_font, m_exe, m_profile);
        m_shown = DialogSettings::Of(m_settings, m_font);
    }

    test::TempDir m_dir;
    std::string m_bin, m_exe, m_beside, m_config, m_home, m_user;
    TProfile m_profile;
    AppSettings m_settings;
    FontSpec m_font;
    DialogSettings m_shown;
};

TEST_F(SettingsLocationTest, InstalledIsKnownByTheMarkerNotByPermissions)
{
    // Run from its build folder, writable or not: beside itself, as it has always been.
    EXPECT_EQ(InstallMarkerFor("/usr/local/bin/ormelit"), "/usr/local/share/ormelit/installed");
    SettingsLocation at = LocateSettingsFile(m_exe, m_config, m_home);
    EXPECT_EQ(at.File, m_beside);
    EXPECT_EQ(at.UserFile, "");
    ::chmod(m_bin.c_str(), 0555);
    EXPECT_EQ(LocateSettingsFile(m_exe, m_config, m_home).UserFile, "");
    ::chmod(m_bin.c_str(), 0755);

    // Installed, even into a prefix the user may write: the user's file over the one beside.
    install();
    at = LocateSettingsFile(m_exe, m_config, m_home);
    EXPECT_EQ(at.File, m_beside);
    EXPECT_EQ(at.UserFile, m_user);
    // Without XDG_CONFIG_HOME, or with a relative one (which the rule says to ignore),
    // ~/.config; with no home at all there is nowhere but beside the executable.
    EXPECT_EQ(LocateSettingsFile(m_exe, "", m_home).UserFile,
              m_home + "/.config/ormelit/ormelit.INI");
    EXPECT_EQ(LocateSettingsFile(m_exe, "rel/config", m_home).UserFile,
              m_home + "/.config/ormelit/ormelit.INI");
    EXPECT_EQ(LocateSettingsFile(m_exe, "", "").UserFile, "");

    const test::ScopedEnv config("XDG_CONFIG_HOME", m_config);
    start();
    EXPECT_EQ(m_settings.SettingsFileName, m_beside);
    EXPECT_EQ(m_settings.UserSettingsFileName, m_user);
    EXPECT_EQ(SettingsWriteFileName(m_settings), m_user);
    EXPECT_EQ(m_profile.FileName(), m_beside);
    EXPECT_FALSE(fs::exists(m_config));  // reading makes nothing
}

TEST_F(SettingsLocationTest, TheUsersKeysLieOverTheAdministratorsFile)
{
    install();
    const test::ScopedEnv config("XDG_CONFIG_HOME", m_config);
    administer(ToCp1251("[GRIDS]\r\nUSE_HINT=no\r\nSELECT_UNBIND=yes\r\n"
                        "[APPLICATION]\r\nFONT_NAME=Arial\r\nFONT_SIZE=11\r\nCAPTION=Завод\r\n"
                        "[TITLE]\r\nTIME=99\r\n[BACKGROUND]\r\nPICTURE=/srv/fon.bmp\r\n"));
    struct Case {
        const char* user;  // nullptr: no user file
        bool useHint, selectUnbind, rtf;
        const char* face;
        int size;
    };
    const Case cases[] = {
        {nullptr, false, true, false, "Arial", 11},
        // A user's key wins, read by the same rules; the others still come from beside.
        {"[grids]\r\nuse_hint=Y\r\n", true, true, false, "Arial", 11},
        {"[APPLICATION]\r\nFONT_SIZE=0\r\n[REPORTS]\r\nOUTFILE_FORMAT='rtf'\r\n", false, true,
         true, "Arial", 8},
        {"[APPLICATION]\r\nFONT_SIZE=yes\r\nFONT_NAME=\r\n", false, true, false, "", 1},
        // A whole copy of an older administrator's file, as earlier versions made: its keys
        // outside the dialog's six are not the user's and are ignored.
        {"[GRIDS]\r\nSELECT_UNBIND=False\r\n[TITLE]\r\nTIME=5\r\n[APPLICATION]\r\nCAPTION=Old\r\n"
         "[BACKGROUND]\r\nPICTURE=/old.bmp\r\n[RECENT_FILES]\r\nFILE1=/a.ovx\r\n",
         false, false, false, "Arial", 11},
    };
    for (const Case& c : cases) {
        fs::remove_all(m_config);
        if (c.user)
            userFile(c.user);
        start();
        const std::string name = c.user ? c.user : "(no user file)";
        EXPECT_EQ(m_settings.GridUseHint, c.useHint) << name;
        EXPECT_EQ(m_settings.GridSelectUnbind, c.selectUnbind) << name;
        EXPECT_EQ(m_settings.ReportRtf, c.rtf) << name;
        EXPECT_EQ(m_font.Face, c.face) << name;
        EXPECT_EQ(m_font.Size, c.size) << name;
        EXPECT_EQ(m_settings.TitleTime, 60) << name;
        EXPECT_EQ(m_settings.AppCaption, ToCp1251("Завод")) << name;
        EXPECT_EQ(m_settings.BackgroundPicture, "/srv/fon.bmp") << name;
    }

    // The administrator's later changes reach the user at the next start, except a key the
    // user has set.
    userFile("[APPLICATION]\r\nFONT_NAME=DejaVu Sans\r\n");
    administer("[GRIDS]\r\nUSE_HINT=yes\r\n[APPLICATION]\r\nFONT_NAME=Tahoma\r\nFONT_SIZE=14\r\n"
               "[TITLE]\r\nTIME=0\r\n");
    start();
    EXPECT_TRUE(m_settings.GridUseHint);
    EXPECT_EQ(m_font.Size, 14);
    EXPECT_EQ(m_settings.TitleTime, 0);
    EXPECT_EQ(m_font.Face, "DejaVu Sans");
}

TEST_F(SettingsLocationTest, TheDialogWritesOnlyWhatTheUserChanged)
{
    install();
    const test::ScopedEnv config("XDG_CONFIG_HOME", m_config);
    const std::string shipped = "; the administrator's\r\n[GRIDS]\r\nUSE_HINT=no\r\n"
                                "[EXTRAMENU1]\r\nNAME=Calc\r\nPOSITION=1.3\r\n";
    administer(shipped);
    const std::set<std::string> bin = namesIn(m_bin);

    // Confirmed without a change: nothing to keep, so no file is made.
    start();
    EXPECT_TRUE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    EXPECT_FALSE(fs::exists(m_config));

    m_settings.GridUseHint = true;
    m_font.Size = 12;
    ASSERT_TRUE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    EXPECT_EQ(test::TempDir::read(m_user),
              "[GRIDS]\r\nUSE_HINT=True\r\n[APPLICATION]\r\nFONT_SIZE=12\r\n");
    EXPECT_EQ(fs::status(m_config + "/ormelit").permissions() & fs::perms::all,
              fs::perms::owner_all);

    // Next start: the user's two keys, the rest from beside; a key set back to the
    // administrator's value stays the user's (the user chose it).
    start();
    EXPECT_TRUE(m_settings.GridUseHint);
    EXPECT_EQ(m_font.Size, 12);
    m_settings.GridUseHint = false;
    m_settings.ReportRtf = true;
    ASSERT_TRUE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    EXPECT_EQ(test::TempDir::read(m_user), "[GRIDS]\r\nUSE_HINT=False\r\n[APPLICATION]\r\n"
                                           "FONT_SIZE=12\r\n[REPORTS]\r\nOUTFILE_FORMAT=RTF\r\n");

    EXPECT_EQ(test::TempDir::read(m_beside), shipped);
    EXPECT_EQ(namesIn(m_bin), bin);
}

TEST_F(SettingsLocationTest, AUserFileThatCannotBeMadeFailsAndChangesNothing)
{
    install();
    administer("[S]\r\nK=1\r\n");
    // A file stands where the configuration folder would go, which stops root as well.
    const std::string blocked = m_dir.write("blocked", "");
    const test::ScopedEnv config("XDG_CONFIG_HOME", blocked);
    start();
    EXPECT_EQ(SettingsWriteFileName(m_settings), blocked + "/ormelit/ormelit.INI");
    m_settings.GridUseHint = true;
    EXPECT_FALSE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    EXPECT_EQ(test::TempDir::read(m_beside), "[S]\r\nK=1\r\n");
    EXPECT_EQ(namesIn(m_bin), (std::set<std::string>{"ormelit", "ormelit.INI"}));
    EXPECT_TRUE(m_settings.GridUseHint);
}

TEST_F(SettingsLocationTest, NamesInsideCountFromWhereTheyDid)
{
    install();
    const test::ScopedEnv config("XDG_CONFIG_HOME", m_config);
    administer("[Help]\r\nHelpIniFileName=help/ormelit.QHL\r\n[TITLE]\r\nPICTURE=pics/t.bmp\r\n");
    // A user's copy that names other files is not asked.
    userFile("[Help]\r\nHelpIniFileName=/mine.QHL\r\n[TITLE]\r\nPICTURE=/mine.bmp\r\n");
    start();
    // The working folder, not the folder of either settings file.
    const std::string cwd = fs::current_path().string();
    EXPECT_EQ(HelpIndexFileNameFor(m_settings.SettingsFileName, m_exe, m_profile),
              cwd + "/help/ormelit.QHL");
    EXPECT_EQ(m_settings.TitlePicture, "pics/t.bmp");
    // Without a help index named, the default stays beside the executable.
    administer("");
    EXPECT_EQ(HelpIndexFileNameFor(m_settings.SettingsFileName, m_exe, m_profile),
              m_bin + "/ormelit.QHL");
}

}  // namespace
}  // namespace orm
