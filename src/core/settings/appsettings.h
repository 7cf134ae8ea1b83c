#pragma once

// The settings record read once at start-up from the INI file beside the executable (for an
// installed program, with the user's own file over it), and the application font. The rest of
// the program reads these, never the file.

#include <string>

#include "core/settings/inifile.h"
#include "core/settings/profile.h"

namespace orm {

struct AppSettings {
    // The file beside the executable: every key, section and extra menu entry is read from it,
    // and for a program run from its own folder the settings dialog writes it too.
    std::string SettingsFileName;
    // An installed program's user file ("<configHome>/ormelit/ormelit.INI"): only the keys the
    // user changed in the settings dialog, read over SettingsFileName, and the only file the
    // dialog then writes. Empty for a program run from its own folder.
    std::string UserSettingsFileName;
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
};

// A font by face name (Windows-1251) and size in points.
struct FontSpec {
    std::string Face = "System";
    int Size = 8;
    bool operator==(const FontSpec&) const = default;
};

// The six values the settings dialog edits, to tell which of them the user changed.
struct DialogSettings {
    bool GridUseHint = false;
    bool GridSelectUnbind = false;
    bool ReportRtf = false;
    bool ReportUseInformation = false;
    FontSpec Font;
    static DialogSettings Of(const AppSettings& settings, const FontSpec& font);
};

// The executable's path with its extension replaced by ".INI" (appended when the file name has
// none; a dot in a folder name or at the start of the file name is not an extension).
std::string SettingsFileNameFor(const std::string& executablePath);

// Where the settings are. The file beside the executable is always read. A program installed
// by `cmake --install` (known by the marker the install puts in its share folder, whatever the
// prefix and whether or not its bin folder is writable) never writes there: the user's file
// "<configHome>/ormelit/ormelit.INI" (configHome: $XDG_CONFIG_HOME when absolute, else
// <home>/.config) holds what the user changes, over the file beside the executable. A program
// run from any other folder keeps its settings beside itself. Only when no home folder is
// known at all does an installed program write beside itself too: there is nowhere else.
struct SettingsLocation {
    std::string File;      // beside the executable
    std::string UserFile;  // installed: the user's file; else empty
};
SettingsLocation LocateSettingsFile(const std::string& executablePath,
                                    const std::string& xdgConfigHome, const std::string& home);
// The same with $XDG_CONFIG_HOME and $HOME from the environment, the home folder of the
// user's account when $HOME is not set.
SettingsLocation LocateSettingsFile(const std::string& executablePath);

// The marker of an installed program, found from the executable's folder.
std::string InstallMarkerFor(const std::string& executablePath);

// Fills settings and font from the settings file, the six keys of the settings dialog from the
// user's file where it has them; a missing file or key leaves the defaults, a malformed number
// its fallback. Locates the files first when SettingsFileName is empty, and points profile at
// SettingsFileName.
void LoadSettings(AppSettings& settings, FontSpec& font, const std::string& executablePath,
                  TProfile& profile = TProfile::Shared());

// The file the settings dialog writes: the user's file when installed, else SettingsFileName.
const std::string& SettingsWriteFileName(const AppSettings& settings);

// Writes the keys the settings dialog edits, and no other, in one save: all six beside the
// executable; into the user's file only those that differ from shown (what the dialog showed),
// so that every other key keeps following the administrator's file. A file that would come out
// the same is not written. False when the file could not be saved (it then stays as it was) or
// a value was refused.
bool SaveSettings(AppSettings& settings, const FontSpec& font, const DialogSettings& shown,
                  TProfile& profile = TProfile::Shared());

}  // namespace orm
