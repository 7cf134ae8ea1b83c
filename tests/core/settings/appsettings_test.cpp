#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/io/safefile.h"
#include "core/settings/appsettings.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

TEST(SettingsFileName, ExtensionReplaced)
{
    EXPECT_EQ(SettingsFileNameFor("/opt/app/tool.exe"), "/opt/app/tool.INI");
    EXPECT_EQ(SettingsFileNameFor("/opt/app/ormelit"), "/opt/app/ormelit.INI");
    EXPECT_EQ(SettingsFileNameFor("/opt/app.d/ormelit"), "/opt/app.d/ormelit.INI");
    EXPECT_EQ(SettingsFileNameFor("/opt/a.b/tool.x.bin"), "/opt/a.b/tool.x.INI");
    EXPECT_EQ(SettingsFileNameFor("/opt/.hidden"), "/opt/.hidden.INI");
    EXPECT_EQ(SettingsFileNameFor("tool"), "tool.INI");
}

class Settings : public ::testing::Test {
protected:
    Settings() : m_exe(m_dir.path("ormelit")), m_ini(m_dir.path("ormelit.INI")) {}

    // Loads from a settings file holding ini (no file for nullopt).
    void load(const std::optional<std::string>& ini)
    {
        if (ini)
            m_dir.write("ormelit.INI", *ini);
        else
            std::filesystem::remove(m_ini);
        m_settings = AppSettings();
        m_font = FontSpec();
        m_font.Face = "Platform default";
        LoadSettings(m_settings, m_font, m_exe, m_profile);
        m_shown = DialogSettings::Of(m_settings, m_font);
    }

    test::TempDir m_dir;
    std::string m_exe;
    std::string m_ini;
    TProfile m_profile;
    AppSettings m_settings;
    FontSpec m_font;
    DialogSettings m_shown;  // as the settings dialog would show them after load
};

TEST_F(Settings, NoFileGivesDefaults)
{
    load(std::nullopt);
    EXPECT_EQ(m_settings.SettingsFileName, m_ini);
    EXPECT_EQ(m_profile.FileName(), m_ini);
    EXPECT_FALSE(m_settings.GridUseHint);
    EXPECT_FALSE(m_settings.GridSelectUnbind);
    EXPECT_FALSE(m_settings.ReportRtf);
    EXPECT_FALSE(m_settings.ReportUseInformation);
    EXPECT_EQ(m_settings.BackgroundColor, "");
    EXPECT_EQ(m_settings.BackgroundPicture, "");
    EXPECT_EQ(m_settings.BackgroundPercent, 100);
    EXPECT_EQ(m_settings.TitlePicture, "");
    EXPECT_EQ(m_settings.TitlePercent, 100);
    EXPECT_EQ(m_settings.TitleTime, 10);
    EXPECT_EQ(m_settings.AboutPicture, "");
    EXPECT_EQ(m_settings.AboutPercent, 100);
    EXPECT_EQ(m_settings.AppCaption, "");
    EXPECT_EQ(m_settings.MainIconFile, "");
    EXPECT_EQ(m_font.Face, "System");
    EXPECT_EQ(m_font.Size, 8);
    EXPECT_FALSE(std::filesystem::exists(m_ini));
}

TEST_F(Settings, ReadsEveryKey)
{
    load(ToCp1251(
        "[grids]\r\nuse_hint=True\r\nselect_unbind=y\r\n"
        "[REPORTS]\r\nOUTFILE_FORMAT=RTF\r\nUSE_INFORMATION=1\r\n"
        "[BACKGROUND]\r\nCOLOR=clTeal\r\nPICTURE=C:\\фон.bmp\r\nPERCENT=50\r\n"
        "[TITLE]\r\nPICTURE=t.wmf\r\nPERCENT=75\r\nTIME=3\r\n"
        "[ABOUT]\r\nPICTURE=a.emf\r\nPERCENT=250\r\n"
        "[APPLICATION]\r\nCAPTION=Моя система\r\nMAINICON=m.ico\r\nFONT_NAME=Arial\r\n"
        "FONT_SIZE=12\r\n"));
    EXPECT_TRUE(m_settings.GridUseHint);
    EXPECT_TRUE(m_settings.GridSelectUnbind);
    EXPECT_TRUE(m_settings.ReportRtf);
    EXPECT_TRUE(m_settings.ReportUseInformation);
    EXPECT_EQ(m_settings.BackgroundColor, "clTeal");
    EXPECT_EQ(m_settings.BackgroundPicture, ToCp1251("C:\\фон.bmp"));
    EXPECT_EQ(m_settings.BackgroundPercent, 50);
    EXPECT_EQ(m_settings.TitlePicture, "t.wmf");
    EXPECT_EQ(m_settings.TitlePercent, 75);
    EXPECT_EQ(m_settings.TitleTime, 3);
    EXPECT_EQ(m_settings.AboutPicture, "a.emf");
    EXPECT_EQ(m_settings.AboutPercent, 250);
    EXPECT_EQ(m_settings.AppCaption, ToCp1251("Моя система"));
    EXPECT_EQ(m_settings.MainIconFile, "m.ico");
    EXPECT_EQ(m_font.Face, "Arial");
    EXPECT_EQ(m_font.Size, 12);
}

TEST_F(Settings, OddValues)
{
    const auto reportRtf = [&](const std::string& v) {
        load("[REPORTS]\r\nOUTFILE_FORMAT=" + v + "\r\n");
        return m_settings.ReportRtf;
    };
    EXPECT_TRUE(reportRtf("rtf"));
    EXPECT_TRUE(reportRtf("'Rtf'"));
    EXPECT_FALSE(reportRtf("Rtf1"));
    EXPECT_FALSE(reportRtf("TXT"));

    const auto useHint = [&](const std::string& v) {
        load("[GRIDS]\r\nUSE_HINT=" + v + "\r\n");
        return m_settings.GridUseHint;
    };
    for (const char* yes : {"yes", "Y", "1"})
        EXPECT_TRUE(useHint(yes)) << yes;
    for (const char* no : {"on", "2", ""})
        EXPECT_FALSE(useHint(no)) << no;

    const auto titleTime = [&](const std::string& v) {
        load("[TITLE]\r\nTIME=" + v + "\r\n");
        return m_settings.TitleTime;
    };
    EXPECT_EQ(titleTime("99"), 60);
    EXPECT_EQ(titleTime("-5"), 0);
    EXPECT_EQ(titleTime("yes"), 1);
    EXPECT_EQ(titleTime("abc"), 0);
    EXPECT_EQ(titleTime("60"), 60);

    const auto fontSize = [&](const std::string& v) {
        load("[APPLICATION]\r\nFONT_SIZE=" + v + "\r\n");
        return m_font.Size;
    };
    EXPECT_EQ(fontSize("0"), 8);
    EXPECT_EQ(fontSize("x"), 8);
    EXPECT_EQ(fontSize("-3"), 8);
    EXPECT_EQ(fontSize("yes"), 1);

    // Percentages fall back to 100 only when not a number; there is no range check.
    load("[BACKGROUND]\r\nPERCENT=abc\r\n[TITLE]\r\nPERCENT=yes\r\n[ABOUT]\r\nPERCENT=-20\r\n");
    EXPECT_EQ(m_settings.BackgroundPercent, 100);
    EXPECT_EQ(m_settings.TitlePercent, 100);
    EXPECT_EQ(m_settings.AboutPercent, -20);
}

TEST_F(Settings, KeepsAComputedFileNameAndReadsFromIt)
{
    const std::string other = m_dir.write("other.ini", "[TITLE]\r\nTIME=7\r\n");
    m_settings.SettingsFileName = other;
    m_profile.SetFileName(m_dir.path("help.ini"));
    LoadSettings(m_settings, m_font, m_exe, m_profile);
    EXPECT_EQ(m_settings.SettingsFileName, other);
    EXPECT_EQ(m_settings.TitleTime, 7);
}

TEST_F(Settings, SaveWritesSixKeysOnly)
{
    const std::string before =
        "; settings\r\n"
        "[GRIDS]\r\nUse_Hint = False\r\n\r\n"
        "[BACKGROUND]\r\nCOLOR = clTeal \r\nPICTURE=\x98\xFF.bmp\r\n"
        "[EXTRAMENU1]\r\nCAPTION=Calc\r\nFILE=calc.exe\r\n\r\n"
        "[REPORTS]\r\nOUTFILE_FORMAT=rtf\r\n;note\r\n";
    load(before);
    m_settings.GridUseHint = true;
    m_settings.ReportRtf = false;
    m_settings.ReportUseInformation = true;
    m_settings.BackgroundColor = "clRed";  // not the dialog's to write
    m_font = FontSpec{ToCp1251("Шрифт"), 10};
    m_profile.SetFileName(m_dir.path("help.ini"));  // some other reader moved the profile

    ASSERT_TRUE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    EXPECT_EQ(test::TempDir::read(m_ini),
              "; settings\r\n"
              "[GRIDS]\r\nUse_Hint=True\r\nSELECT_UNBIND=False\r\n\r\n"
              "[BACKGROUND]\r\nCOLOR = clTeal \r\nPICTURE=\x98\xFF.bmp\r\n"
              "[EXTRAMENU1]\r\nCAPTION=Calc\r\nFILE=calc.exe\r\n\r\n"
              "[REPORTS]\r\nOUTFILE_FORMAT=TXT\r\nUSE_INFORMATION=True\r\n;note\r\n"
              "[APPLICATION]\r\nFONT_NAME=" +
                  ToCp1251("Шрифт") + "\r\nFONT_SIZE=10\r\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.path("help.ini")));

    load(test::TempDir::read(m_ini));
    EXPECT_TRUE(m_settings.GridUseHint);
    EXPECT_FALSE(m_settings.ReportRtf);
    EXPECT_TRUE(m_settings.ReportUseInformation);
    EXPECT_EQ(m_settings.BackgroundColor, "clTeal");
    EXPECT_EQ(m_font.Face, ToCp1251("Шрифт"));
    EXPECT_EQ(m_font.Size, 10);
}

TEST_F(Settings, SaveFailsOnAReadOnlyFile)
{
    load("[GRIDS]\r\nUSE_HINT=False\r\n");
    ::chmod(m_ini.c_str(), 0444);
    m_settings.GridUseHint = true;
    EXPECT_FALSE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    EXPECT_EQ(test::TempDir::read(m_ini), "[GRIDS]\r\nUSE_HINT=False\r\n");
    EXPECT_TRUE(m_settings.GridUseHint);
}

TEST_F(Settings, SaveWritesAllKeysOrNone)
{
    load("[GRIDS]\r\nUSE_HINT=False\r\n");
    m_settings.GridUseHint = true;
    m_font = FontSpec{"Arial", 9};
    // A full disk halfway through the save: not one of the six keys is half saved.
    SetWriteFailureAfterForTesting(20);
    EXPECT_FALSE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    SetWriteFailureAfterForTesting(std::nullopt);
    EXPECT_EQ(test::TempDir::read(m_ini), "[GRIDS]\r\nUSE_HINT=False\r\n");

    // A value the file cannot hold is left out and reported; the others are saved.
    m_font.Face = "Two\nlines";
    EXPECT_FALSE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    EXPECT_EQ(test::TempDir::read(m_ini),
              "[GRIDS]\r\nUSE_HINT=True\r\nSELECT_UNBIND=False\r\n[APPLICATION]\r\n"
              "FONT_SIZE=9\r\n[REPORTS]\r\nOUTFILE_FORMAT=TXT\r\nUSE_INFORMATION=False\r\n");
}

TEST_F(Settings, AFileThatAlreadySaysItAllIsNotRewritten)
{
    // Beside the executable every confirmation writes all six keys; when they are there as
    // they would be written, the file is left alone, its time and inode too.
    load("[GRIDS]\r\nUSE_HINT=False\r\n");
    ASSERT_TRUE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    const std::string saved = test::TempDir::read(m_ini);
    struct stat before {};
    ASSERT_EQ(::stat(m_ini.c_str(), &before), 0);
    ::chmod(m_ini.c_str(), 0444);  // a rewrite would now fail
    EXPECT_TRUE(SaveSettings(m_settings, m_font, m_shown, m_profile));
    struct stat after {};
    ASSERT_EQ(::stat(m_ini.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(test::TempDir::read(m_ini), saved);
}

}  // namespace
}  // namespace orm
