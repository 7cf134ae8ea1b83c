#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/help/helpindex.h"
#include "core/model/cp1251.h"
#include "core/settings/appsettings.h"
#include "support/tempdir.h"

namespace orm {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// An "installed" program: its folder holds the executable and maybe a settings file, and is
// made read-only (no write bit, which counts for root as well).
class SettingsLocationTest : public ::testing::Test {
protected:
    SettingsLocationTest()
        : m_bin(m_dir.path("bin")), m_exe(m_bin + "/ormelit"), m_beside(m_bin + "/ormelit.INI"),
          m_config(m_dir.path("config")), m_home(m_dir.path("home")),
          m_user(m_config + "/ormelit/ormelit.INI")
    {
        fs::create_directories(m_bin);
        fs::create_directories(m_home);
    }
    ~SettingsLocationTest() override { ::chmod(m_bin.c_str(), 0755); }

    void shipSettings(const std::string& bytes, mode_t mode)
    {
        m_dir.write("bin/ormelit.INI", bytes);
        ::chmod(m_beside.c_str(), mode);
    }
    void lockFolder() { ::chmod(m_bin.c_str(), 0555); }

    test::TempDir m_dir;
    std::string m_bin, m_exe, m_beside, m_config, m_home, m_user;
};

TEST_F(SettingsLocationTest, StaysBesideTheExecutableWhereTheUserCanWrite)
{
    // A writable folder, with or without the file: what a program run from its folder does.
    SettingsLocation at = LocateSettingsFile(m_exe, m_config, m_home);
    EXPECT_EQ(at.File, m_beside);
    EXPECT_EQ(at.Seed, "");
    shipSettings("[TITLE]\r\nTIME=3\r\n", 0444);
    EXPECT_EQ(LocateSettingsFile(m_exe, m_config, m_home).File, m_beside);

    // A read-only folder with a writable file in it.
    ::chmod(m_beside.c_str(), 0644);
    lockFolder();
    at = LocateSettingsFile(m_exe, m_config, m_home);
    EXPECT_EQ(at.File, m_beside);
    EXPECT_EQ(at.Seed, "");
}

TEST_F(SettingsLocationTest, AnInstalledProgramUsesTheUsersConfigFolder)
{
    lockFolder();
    SettingsLocation at = LocateSettingsFile(m_exe, m_config, m_home);
    EXPECT_EQ(at.File, m_user);
    EXPECT_EQ(at.Seed, m_beside);

    ::chmod(m_bin.c_str(), 0755);
    shipSettings("[TITLE]\r\nTIME=3\r\n", 0444);
    lockFolder();
    EXPECT_EQ(LocateSettingsFile(m_exe, m_config, m_home).File, m_user);

    // Without XDG_CONFIG_HOME, or with a relative one (which the rule says to ignore),
    // ~/.config; with no home either, beside the executable as before.
    EXPECT_EQ(LocateSettingsFile(m_exe, "", m_home).File, m_home + "/.config/ormelit/ormelit.INI");
    EXPECT_EQ(LocateSettingsFile(m_exe, "rel/config", m_home).File,
              m_home + "/.config/ormelit/ormelit.INI");
    EXPECT_EQ(LocateSettingsFile(m_exe, "", "").File, m_beside);
}

TEST_F(SettingsLocationTest, FirstWriteCopiesTheShippedDefaultsIntoTheUsersFile)
{
    const std::string shipped =
        "; shipped by the administrator\r\n[TITLE]\r\nTIME=7\r\n"
        "[EXTRAMENU1]\r\nNAME=" + ToCp1251("Калькулятор") + "\r\nPOSITION=1.3\r\n";
    shipSettings(shipped, 0444);
    lockFolder();
    const ScopedEnv config("XDG_CONFIG_HOME", m_config);

    AppSettings settings;
    FontSpec font;
    TProfile profile;
    LoadSettings(settings, font, m_exe, profile);
    // Read from the shipped file; reading makes nothing.
    EXPECT_EQ(settings.TitleTime, 7);
    EXPECT_EQ(settings.SettingsFileName, m_beside);
    EXPECT_EQ(settings.SettingsSaveFileName, m_user);
    EXPECT_FALSE(fs::exists(m_config));

    settings.GridUseHint = true;
    ASSERT_TRUE(SaveSettings(settings, font, profile));
    EXPECT_EQ(test::TempDir::read(m_beside), shipped);
    const std::string made = test::TempDir::read(m_user);
    EXPECT_EQ(made.substr(0, shipped.size()), shipped);
    EXPECT_NE(made.find("[GRIDS]\r\nUSE_HINT=True\r\n"), std::string::npos);
    EXPECT_EQ(settings.SettingsFileName, m_user);
    EXPECT_EQ(settings.SettingsSaveFileName, "");
    EXPECT_EQ(profile.FileName(), m_user);
    EXPECT_EQ(fs::status(m_config).permissions() & fs::perms::all, fs::perms::owner_all);

    // The next run reads the user's file, and writes go there only.
    AppSettings next;
    LoadSettings(next, font, m_exe, profile);
    EXPECT_EQ(next.SettingsFileName, m_user);
    EXPECT_EQ(next.SettingsSaveFileName, "");
    EXPECT_TRUE(next.GridUseHint);
    EXPECT_EQ(next.TitleTime, 7);
    ASSERT_TRUE(WriteSettingsValues(next, {{"TITLE", "TIME", "2"}}));
    EXPECT_EQ(test::TempDir::read(m_beside), shipped);
    LoadSettings(next, font, m_exe, profile);
    EXPECT_EQ(next.TitleTime, 2);
}

TEST_F(SettingsLocationTest, WithoutShippedDefaultsTheFirstWriteStartsAnEmptyFile)
{
    lockFolder();
    AppSettings settings;
    settings.SettingsFileName = m_beside;
    settings.SettingsSaveFileName = m_user;
    ASSERT_TRUE(WriteSettingsValues(settings, {{"S", "K", "v"}, {"S", "GONE", std::nullopt}}));
    EXPECT_EQ(test::TempDir::read(m_user), "[S]\r\nK=v\r\n");
}

TEST_F(SettingsLocationTest, AFailedFirstWriteChangesNothing)
{
    shipSettings("[S]\r\nK=1\r\n", 0444);
    lockFolder();
    // The configuration folder cannot be made (a file stands where it would go, which stops
    // root as well as anyone).
    const std::string blocked = m_dir.write("blocked", "");
    AppSettings settings;
    settings.SettingsFileName = m_beside;
    settings.SettingsSaveFileName = blocked + "/ormelit/ormelit.INI";
    EXPECT_FALSE(WriteSettingsValues(settings, {{"S", "K", "2"}}));
    EXPECT_EQ(settings.SettingsFileName, m_beside);
    EXPECT_EQ(settings.SettingsSaveFileName, blocked + "/ormelit/ormelit.INI");

    // A refused value: the others are saved, and the result says so.
    settings.SettingsSaveFileName = m_user;
    EXPECT_FALSE(WriteSettingsValues(settings, {{"S", "K", "2"}, {"S", "BAD", "a\nb"}}));
    EXPECT_EQ(test::TempDir::read(m_user), "[S]\r\nK=2\r\n");
    EXPECT_EQ(settings.SettingsFileName, m_user);
}

TEST_F(SettingsLocationTest, RelativeNamesInsideCountFromWhereTheyDid)
{
    shipSettings("[Help]\r\nHelpIniFileName=help/ormelit.QHL\r\n[TITLE]\r\nPICTURE=pics/t.bmp\r\n",
                 0444);
    lockFolder();
    const ScopedEnv config("XDG_CONFIG_HOME", m_config);
    AppSettings settings;
    FontSpec font;
    TProfile profile;
    LoadSettings(settings, font, m_exe, profile);
    ASSERT_TRUE(SaveSettings(settings, font, profile));
    ASSERT_EQ(settings.SettingsFileName, m_user);

    // The working folder, not the folder of the settings file, as before the move.
    const std::string cwd = fs::current_path().string();
    EXPECT_EQ(HelpIndexFileNameFor(settings.SettingsFileName, m_exe, profile),
              cwd + "/help/ormelit.QHL");
    EXPECT_EQ(settings.TitlePicture, "pics/t.bmp");
    // Without a help index named, the default stays beside the executable.
    ASSERT_TRUE(WriteSettingsValues(settings, {{"Help", "HelpIniFileName", std::nullopt}}));
    EXPECT_EQ(HelpIndexFileNameFor(settings.SettingsFileName, m_exe, profile),
              m_bin + "/ormelit.QHL");
}

}  // namespace
}  // namespace orm
