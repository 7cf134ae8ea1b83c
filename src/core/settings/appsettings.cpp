#include "core/settings/appsettings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/io/safefile.h"
#include "core/settings/inifile.h"
#include "core/settings/programstate.h"
#include "core/text/cp1251.h"
#include "installpaths.h"

namespace orm {

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

int percentOf(const TProfile& profile)
{
    return ParseDecimalInt(profile.Text()).value_or(100);
}

const char* stateText(bool on)
{
    return on ? "True" : "False";
}

}  // namespace

DialogSettings DialogSettings::Of(const AppSettings& settings, const FontSpec& font)
{
    return {settings.GridUseHint, settings.GridSelectUnbind, settings.ReportRtf,
            settings.ReportUseInformation, font};
}

std::string SettingsFileNameFor(const std::string& executablePath)
{
    const auto slash = executablePath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = executablePath.rfind('.');
    if (dot != std::string::npos && dot > nameStart)
        return executablePath.substr(0, dot) + ".INI";
    return executablePath + ".INI";
}

std::string InstallMarkerFor(const std::string& executablePath)
{
    const fs::path folder = fs::path(executablePath).parent_path();
    return (folder / ORMELIT_INSTALL_MARKER).lexically_normal().string();
}

SettingsLocation LocateSettingsFile(const std::string& executablePath,
                                    const std::string& xdgConfigHome, const std::string& home)
{
    const std::string beside = SettingsFileNameFor(executablePath);
    std::error_code ec;
    if (!fs::exists(InstallMarkerFor(executablePath), ec))
        return {beside, {}};
    fs::path configHome;
    if (!xdgConfigHome.empty() && fs::path(xdgConfigHome).is_absolute())
        configHome = xdgConfigHome;
    else if (!home.empty() && fs::path(home).is_absolute())
        configHome = fs::path(home) / ".config";
    else
        return {beside, {}};
    return {beside, (configHome / "ormelit" / "ormelit.INI").string()};
}

SettingsLocation LocateSettingsFile(const std::string& executablePath)
{
    return LocateSettingsFile(executablePath, environment("XDG_CONFIG_HOME"), HomeFolder());
}

// The order of the reads matters: a read that does not set DefaultText uses the one left by the
// read before it (OUTFILE_FORMAT gets "False").
void LoadSettings(AppSettings& settings, FontSpec& font, const std::string& executablePath,
                  TProfile& profile)
{
    if (settings.SettingsFileName.empty()) {
        const SettingsLocation location = LocateSettingsFile(executablePath);
        settings.SettingsFileName = location.File;
        settings.UserSettingsFileName = location.UserFile;
    }
    // Always, not only the first time: other readers move the shared profile to other files.
    profile.SetFileName(settings.SettingsFileName);
    const ProfileFileHold hold(profile);

    // The dialog's keys come from the user's file where it has them, with the same defaults and
    // conversions; every other key only from the file beside the executable.
    std::optional<IniFile> user;
    if (!settings.UserSettingsFileName.empty()) {
        if (std::optional<std::string> bytes = ReadFileBytes(settings.UserSettingsFileName))
            user.emplace(std::move(*bytes));
    }
    const auto dialogKey = [&]() -> std::string {
        if (user && user->Contains(profile.Section(), profile.Entry()))
            return user->Value(profile.Section(), profile.Entry(), "");
        return profile.Text();
    };

    profile.SetSection("GRIDS");
    profile.SetDefaultText("False");
    profile.SetEntry("USE_HINT");
    settings.GridUseHint = TextIsTrue(dialogKey());
    profile.SetDefaultText("False");
    profile.SetEntry("SELECT_UNBIND");
    settings.GridSelectUnbind = TextIsTrue(dialogKey());

    profile.SetSection("REPORTS");
    profile.SetEntry("OUTFILE_FORMAT");
    settings.ReportRtf = EqualsNoCaseCp1251(dialogKey(), "RTF");
    profile.SetDefaultText("False");
    profile.SetEntry("USE_INFORMATION");
    settings.ReportUseInformation = TextIsTrue(dialogKey());

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
    font.Face = dialogKey();
    profile.SetDefaultText("8");
    profile.SetEntry("FONT_SIZE");
    font.Size = TextAsInteger(dialogKey());
    if (font.Size <= 0)
        font.Size = 8;
}

const std::string& SettingsWriteFileName(const AppSettings& settings)
{
    return settings.UserSettingsFileName.empty() ? settings.SettingsFileName
                                                 : settings.UserSettingsFileName;
}

bool SaveSettings(AppSettings& settings, const FontSpec& font, const DialogSettings& shown,
                  TProfile& profile)
{
    const std::string& target = SettingsWriteFileName(settings);
    if (target.empty())
        return false;
    const bool layered = !settings.UserSettingsFileName.empty();
    const std::string size = std::to_string(font.Size);
    struct Key {
        IniFile::Assignment assignment;
        bool changed;
    };
    const Key keys[] = {
        {{"GRIDS", "USE_HINT", stateText(settings.GridUseHint)},
         settings.GridUseHint != shown.GridUseHint},
        {{"GRIDS", "SELECT_UNBIND", stateText(settings.GridSelectUnbind)},
         settings.GridSelectUnbind != shown.GridSelectUnbind},
        {{"APPLICATION", "FONT_NAME", font.Face}, font.Face != shown.Font.Face},
        {{"APPLICATION", "FONT_SIZE", size}, font.Size != shown.Font.Size},
        {{"REPORTS", "OUTFILE_FORMAT", settings.ReportRtf ? "RTF" : "TXT"},
         settings.ReportRtf != shown.ReportRtf},
        {{"REPORTS", "USE_INFORMATION", stateText(settings.ReportUseInformation)},
         settings.ReportUseInformation != shown.ReportUseInformation},
    };
    std::vector<IniFile::Assignment> assignments;
    for (const Key& key : keys) {
        if (!layered || key.changed)
            assignments.push_back(key.assignment);
    }
    // Another reader (the help index, say) may have moved the shared profile meanwhile.
    profile.SetFileName(settings.SettingsFileName);
    if (assignments.empty())
        return true;  // nothing changed: the user's file stays as it is, or unmade
    if (layered && !MakePrivateFolders(fs::path(target).parent_path().string()))
        return false;
    // In one save: a failure (a full disk, say) leaves none of them half done.
    return IniFile::WriteStrings(target, assignments);
}

}  // namespace orm
