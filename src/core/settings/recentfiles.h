#pragma once

// The projects last opened or saved, newest first, kept in the settings file in a section of
// their own ([RECENT_FILES], FILE1 to FILE8) so that no key users already have changes meaning.

#include <string>
#include <vector>

#include "core/settings/appsettings.h"

namespace orm {

class RecentFiles {
public:
    static constexpr int kMaxFiles = 8;
    static constexpr const char* kSection = "RECENT_FILES";

    // Native paths (UTF-8), newest first, each once.
    const std::vector<std::string>& Paths() const { return m_paths; }

    // Puts path first, made absolute and normal, removing an earlier mention of it and the
    // oldest beyond eight. False when it was first already (nothing to save).
    bool Add(const std::string& path);
    // False when it was not in the list.
    bool Remove(const std::string& path);
    // Drops the files that no longer exist; false when all of them do.
    bool DropMissing();

    // Reads the list from the settings file (Windows-1251 values, like every other path there);
    // empty, relative and repeated entries are skipped.
    void Load(const std::string& settingsFile);
    // Writes the list in one save: FILE1 onwards, the keys beyond the list removed. A path the
    // file cannot hold (a character outside Windows-1251, more than 255 characters) is left out
    // rather than written as a name that leads nowhere.
    bool Save(AppSettings& settings) const;

private:
    std::vector<std::string> m_paths;
};

}  // namespace orm
