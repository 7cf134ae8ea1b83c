#include "core/settings/appsettings.h"

#include <algorithm>

#include "core/model/cp1251.h"
#include "core/settings/inifile.h"

namespace orm {

namespace {

int percentOf(const TProfile& profile)
{
    return ParseDecimalInt(profile.Text()).value_or(100);
}

}  // namespace

std::string SettingsFileNameFor(const std::string& executablePath)
{
    const auto slash = executablePath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = executablePath.rfind('.');
    if (dot != std::string::npos && dot > nameStart)
        return executablePath.substr(0, dot) + ".INI";
    return executablePath + ".INI";
}

// The order of the reads matters: a read that does not set DefaultText uses the one left by the
// read before it (OUTFILE_FORMAT gets "False").
void LoadSettings(AppSettings& settings, FontSpec& font, const std::string& executablePath,
                  TProfile& profile)
{
    if (settings.SettingsFileName.empty())
        settings.SettingsFileName = SettingsFileNameFor(executablePath);
    // Always, not only the first time: other readers move the shared profile to other files.
    profile.SetFileName(settings.SettingsFileName);
    const ProfileFileHold hold(profile);

    profile.SetSection("GRIDS");
    profile.SetDefaultText("False");
    profile.SetEntry("USE_HINT");
    settings.GridUseHint = profile.State();
    profile.SetDefaultText("False");
    profile.SetEntry("SELECT_UNBIND");
    settings.GridSelectUnbind = profile.State();

    profile.SetSection("REPORTS");
    profile.SetEntry("OUTFILE_FORMAT");
    settings.ReportRtf = EqualsNoCaseCp1251(profile.Text(), "RTF");
    profile.SetDefaultText("False");
    profile.SetEntry("USE_INFORMATION");
    settings.ReportUseInformation = profile.State();

    profile.SetSection("BACKGROUND");
    profile.SetDefaultText("");
    profile.SetEntry("COLOR");
    settings.BackgroundColor = profile.Text();
    profile.SetEntry("PICTURE");
    settings.BackgroundPicture = profile.Text();
    profile.SetDefaultText("100");
    profile.SetEntry("PERCENT");
    settings.BackgroundPercent = percentOf(profile);

    profile.SetSection("TITLE");
    profile.SetDefaultText("");
    profile.SetEntry("PICTURE");
    settings.TitlePicture = profile.Text();
    profile.SetDefaultText("100");
    profile.SetEntry("PERCENT");
    settings.TitlePercent = percentOf(profile);
    profile.SetDefaultText("10");
    profile.SetEntry("TIME");
    settings.TitleTime = std::clamp(profile.Value(), 0, 60);

    profile.SetSection("ABOUT");
    profile.SetDefaultText("");
    profile.SetEntry("PICTURE");
    settings.AboutPicture = profile.Text();
    profile.SetDefaultText("100");
    profile.SetEntry("PERCENT");
    settings.AboutPercent = percentOf(profile);

    profile.SetSection("APPLICATION");
    profile.SetDefaultText("");
    profile.SetEntry("CAPTION");
    settings.AppCaption = profile.Text();
    profile.SetEntry("MAINICON");
    settings.MainIconFile = profile.Text();
    profile.SetDefaultText("System");
    profile.SetEntry("FONT_NAME");
    font.Face = profile.Text();
    profile.SetDefaultText("8");
    profile.SetEntry("FONT_SIZE");
    font.Size = profile.Value();
    if (font.Size <= 0)
        font.Size = 8;
}

bool SaveSettings(const AppSettings& settings, const FontSpec& font, TProfile& profile)
{
    if (settings.SettingsFileName.empty())
        return false;
    // The shared profile may point at another file by now (the help index, say).
    profile.SetFileName(settings.SettingsFileName);
    const std::string size = std::to_string(font.Size);
    const auto state = [](bool on) { return on ? "True" : "False"; };
    // In one save: a failure (a full disk, say) leaves none of them half done.
    return IniFile::WriteStrings(
        settings.SettingsFileName,
        {{"GRIDS", "USE_HINT", state(settings.GridUseHint)},
         {"GRIDS", "SELECT_UNBIND", state(settings.GridSelectUnbind)},
         {"APPLICATION", "FONT_NAME", font.Face},
         {"APPLICATION", "FONT_SIZE", size},
         {"REPORTS", "OUTFILE_FORMAT", settings.ReportRtf ? "RTF" : "TXT"},
         {"REPORTS", "USE_INFORMATION", state(settings.ReportUseInformation)}});
}

}  // namespace orm
