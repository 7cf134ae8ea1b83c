#pragma once

// The settings record read once at start-up from the INI file beside the executable, and the
// application font. The rest of the program reads these, never the file.

#include <string>

#include "core/settings/profile.h"

namespace orm {

struct AppSettings {
    std::string SettingsFileName;
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
};

// The executable's path with its extension replaced by ".INI" (appended when the file name has
// none; a dot in a folder name or at the start of the file name is not an extension).
std::string SettingsFileNameFor(const std::string& executablePath);

// Fills settings and font from the settings file; a missing file or key leaves the defaults, a
// malformed number its fallback. Computes SettingsFileName first when it is empty, and points
// profile at that file.
void LoadSettings(AppSettings& settings, FontSpec& font, const std::string& executablePath,
                  TProfile& profile = TProfile::Shared());

// Writes the six keys the settings dialog edits, and no other, in one save of the file. False
// when the file could not be saved (it then stays as it was) or a value was refused.
bool SaveSettings(const AppSettings& settings, const FontSpec& font,
                  TProfile& profile = TProfile::Shared());

}  // namespace orm
