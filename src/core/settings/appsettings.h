#pragma once

// The settings record read once at start-up from the INI file beside the executable (or, for
// an installed program, the user's own copy of it), and the application font. The rest of the
// program reads these, never the file.

#include <string>
#include <vector>

#include "core/settings/inifile.h"
#include "core/settings/profile.h"

namespace orm {

// A window's size in pixels as designed at 96 dpi; 0 by 0 when none was kept.
struct WindowSize {
    int Width = 0;
    int Height = 0;
    bool IsKept() const { return Width > 0 && Height > 0; }
    bool operator==(const WindowSize&) const = default;
};

struct AppSettings {
    // The file the settings are read from.
    std::string SettingsFileName;
    // Where writes go when that is another file: the user's own settings file, not made yet,
    // which the first write creates from SettingsFileName. Empty: writes go to SettingsFileName.
    std::string SettingsSaveFileName;
    bool GridUseHint = false;
    bool GridSelectUnbind = false;
    bool ReportRtf = false;  // false: plain text
    bool ReportUseInformation = false;
    std::string BackgroundColor;
    std::string BackgroundPicture;
    int BackgroundPercent = 100;
    std::string TitlePicture;
    int TitlePercent = 100;
    int TitleTime = 10;  // seconds, 0..60; 0 shows no splash
    std::string AboutPicture;
    int AboutPercent = 100;
    std::string AppCaption;
    std::string MainIconFile;
    // The last sizes of the report viewer and the organigram window: section WINDOWS, keys
    // TF_RTF_WIDTH, TF_RTF_HEIGHT, TF_WMF_WIDTH, TF_WMF_HEIGHT (their form names).
    WindowSize ReportViewerSize;
    WindowSize OrganigramSize;
};

// A font by face name (Windows-1251) and size in points.
struct FontSpec {
    std::string Face = "System";
    int Size = 8;
};

// The executable's path with its extension replaced by ".INI" (appended when the file name has
// none; a dot in a folder name or at the start of the file name is not an extension).
std::string SettingsFileNameFor(const std::string& executablePath);

// Where the settings file is. Beside the executable when the user can write there: its folder
// is writable, or the file exists and is writable (what a program run from its own folder has
// always done). Otherwise, for an installed program, the user's own file
// "<configHome>/ormelit/ormelit.INI" (configHome: $XDG_CONFIG_HOME when absolute, else
// $HOME/.config), which a first write creates from the file beside the executable when that
// one exists (defaults shipped by an administrator). A folder or file without any write
// permission bit counts as read-only even for root, as the settings writer treats it.
struct SettingsLocation {
    std::string File;  // the settings file that writes go to
    std::string Seed;  // the file beside the executable when File is not it, else empty
};
SettingsLocation LocateSettingsFile(const std::string& executablePath,
                                    const std::string& xdgConfigHome, const std::string& home);
// The same with $XDG_CONFIG_HOME and $HOME from the environment.
SettingsLocation LocateSettingsFile(const std::string& executablePath);

// Fills settings and font from the settings file; a missing file or key leaves the defaults, a
// malformed number its fallback. Locates the file first when SettingsFileName is empty (reads
// come from the file beside the executable until the user's own exists), and points profile at
// the file read.
void LoadSettings(AppSettings& settings, FontSpec& font, const std::string& executablePath,
                  TProfile& profile = TProfile::Shared());

// Writes the six keys the settings dialog edits, and no other, in one save of the file. False
// when the file could not be saved (it then stays as it was) or a value was refused.
bool SaveSettings(AppSettings& settings, const FontSpec& font,
                  TProfile& profile = TProfile::Shared());

// Keeps the last size of the window with that form name ("TF_RTF" or "TF_WMF") in settings
// and writes it to the file when it changed. False when it could not be written.
bool SaveWindowSize(AppSettings& settings, const std::string& formName, WindowSize size);

// Every write of the settings file: the assignments in one save, like IniFile::WriteStrings.
// The first write to a user's own file that does not exist yet makes it (and its folders) from
// the file read so far, and the settings are read from it from then on. False, with the file
// as it was, when nothing could be saved; false too when an assignment was refused (the others
// are saved).
bool WriteSettingsValues(AppSettings& settings,
                         const std::vector<IniFile::Assignment>& assignments);

}  // namespace orm
