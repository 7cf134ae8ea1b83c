#include "core/settings/appsettings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "core/model/cp1251.h"
#include "core/model/safefile.h"
#include "core/settings/inifile.h"

namespace orm {

namespace fs = std::filesystem;

namespace {

// Writable by this user. No write bit at all is read-only even for root, whom access() lets
// write anything; a folder must be searchable too.
bool userCanWrite(const std::string& path, bool folder)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    if (folder != S_ISDIR(st.st_mode))
        return false;
    return ::access(path.c_str(), folder ? (W_OK | X_OK) : W_OK) == 0;
}

// Makes the missing folders of path, each private to the user as configuration folders are.
bool makeFolders(const fs::path& path)
{
    fs::path made;
    for (const fs::path& part : path) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    std::error_code ec;
    return fs::is_directory(path, ec);
}

constexpr const char* kWindowsSection = "WINDOWS";

WindowSize* windowSizeField(AppSettings& settings, const std::string& formName)
{
    if (formName == "TF_RTF")
        return &settings.ReportViewerSize;
    if (formName == "TF_WMF")
        return &settings.OrganigramSize;
    return nullptr;
}

// A kept size: two positive decimal numbers of a sane size, else none.
WindowSize readWindowSize(const TProfile& base, const std::string& formName)
{
    TProfile profile = base;
    profile.SetSection(kWindowsSection);
    profile.SetDefaultText("");
    profile.SetEntry(formName + "_WIDTH");
    const std::optional<int> width = ParseDecimalInt(profile.Text());
    profile.SetEntry(formName + "_HEIGHT");
    const std::optional<int> height = ParseDecimalInt(profile.Text());
    constexpr int kLimit = 100000;
    if (!width || !height || *width <= 0 || *height <= 0 || *width > kLimit || *height > kLimit)
        return {};
    return {*width, *height};
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

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

SettingsLocation LocateSettingsFile(const std::string& executablePath,
                                    const std::string& xdgConfigHome, const std::string& home)
{
    const std::string beside = SettingsFileNameFor(executablePath);
    const fs::path folder = fs::path(beside).parent_path();
    const std::string folderName = folder.empty() ? std::string(".") : folder.string();
    std::error_code ec;
    const bool besideExists = fs::exists(beside, ec);
    if (userCanWrite(folderName, true) || (besideExists && userCanWrite(beside, false)))
        return {beside, {}};
    fs::path configHome;
    if (!xdgConfigHome.empty() && fs::path(xdgConfigHome).is_absolute())
        configHome = xdgConfigHome;
    else if (!home.empty() && fs::path(home).is_absolute())
        configHome = fs::path(home) / ".config";
    else
        return {beside, {}};  // nowhere else to go: as before, beside the executable
    return {(configHome / "ormelit" / "ormelit.INI").string(), beside};
}

SettingsLocation LocateSettingsFile(const std::string& executablePath)
{
    return LocateSettingsFile(executablePath, environment("XDG_CONFIG_HOME"),
                              environment("HOME"));
}

// The order of the reads matters: a read that does not set DefaultText uses the one left by the
// read before it (OUTFILE_FORMAT gets "False").
void LoadSettings(AppSettings& settings, FontSpec& font, const std::string& executablePath,
                  TProfile& profile)
{
    if (settings.SettingsFileName.empty()) {
        const SettingsLocation location = LocateSettingsFile(executablePath);
        std::error_code ec;
        if (!location.Seed.empty() && !fs::exists(location.File, ec)) {
            // The user's own file comes with the first write; till then the shipped defaults.
            settings.SettingsFileName = location.Seed;
            settings.SettingsSaveFileName = location.File;
        } else {
            settings.SettingsFileName = location.File;
            settings.SettingsSaveFileName.clear();
        }
    }
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

    // Read through a copy, so that the shared profile is left as the reads above leave it.
    settings.ReportViewerSize = readWindowSize(profile, "TF_RTF");
    settings.OrganigramSize = readWindowSize(profile, "TF_WMF");
}

bool SaveWindowSize(AppSettings& settings, const std::string& formName, WindowSize size)
{
    WindowSize* field = windowSizeField(settings, formName);
    if (!field || !size.IsKept())
        return false;
    if (*field == size)
        return true;
    *field = size;
    const std::string width = std::to_string(size.Width);
    const std::string height = std::to_string(size.Height);
    return WriteSettingsValues(settings, {{kWindowsSection, formName + "_WIDTH", width},
                                          {kWindowsSection, formName + "_HEIGHT", height}});
}

bool SaveSettings(AppSettings& settings, const FontSpec& font, TProfile& profile)
{
    if (settings.SettingsFileName.empty())
        return false;
    const std::string size = std::to_string(font.Size);
    const auto state = [](bool on) { return on ? "True" : "False"; };
    // In one save: a failure (a full disk, say) leaves none of them half done.
    const bool saved = WriteSettingsValues(
        settings,
        {{"GRIDS", "USE_HINT", state(settings.GridUseHint)},
         {"GRIDS", "SELECT_UNBIND", state(settings.GridSelectUnbind)},
         {"APPLICATION", "FONT_NAME", font.Face},
         {"APPLICATION", "FONT_SIZE", size},
         {"REPORTS", "OUTFILE_FORMAT", settings.ReportRtf ? "RTF" : "TXT"},
         {"REPORTS", "USE_INFORMATION", state(settings.ReportUseInformation)}});
    // The shared profile may point at another file by now (the help index, say), and the
    // settings may live in the user's own file from this write on.
    profile.SetFileName(settings.SettingsFileName);
    return saved;
}

bool WriteSettingsValues(AppSettings& settings,
                         const std::vector<IniFile::Assignment>& assignments)
{
    if (settings.SettingsFileName.empty())
        return false;
    const std::string& target = settings.SettingsSaveFileName;
    if (target.empty() || target == settings.SettingsFileName)
        return IniFile::WriteStrings(settings.SettingsFileName, assignments);
    std::error_code ec;
    bool allSet = true;
    if (fs::exists(target, ec)) {
        // Made meanwhile (another run of the program): it is the user's file now.
        if (!IniFile::WriteStrings(target, assignments))
            return false;
    } else {
        // The shipped defaults as they are, with these values on top, saved in one go.
        const std::optional<std::string> seed = ReadFileBytes(settings.SettingsFileName);
        if (!seed && fs::exists(settings.SettingsFileName, ec))
            return false;  // there but unreadable: a copy would lose the defaults
        IniFile ini(seed.value_or(std::string()));
        for (const IniFile::Assignment& a : assignments)
            allSet &= ini.SetValue(a.section, a.key, a.value);
        if (ini.IsUnicode() || !makeFolders(fs::path(target).parent_path()) ||
            !WriteFileAtomically(target, ini.Bytes()))
            return false;
    }
    settings.SettingsFileName = target;
    settings.SettingsSaveFileName.clear();
    return allSet;
}

}  // namespace orm
