#pragma once

// The projects last opened or saved, newest first, as the File menu offers them. Kept in the
// program's state file (programstate.h), never in the settings file.

#include <string>
#include <vector>

#include "core/settings/programstate.h"

namespace orm {

class RecentFiles {
public:
    static constexpr int kMaxFiles = 8;

    // Native paths (UTF-8), newest first, each once.
    const std::vector<std::string>& Paths() const { return m_paths; }

    // Puts path first, made absolute and normal, removing an earlier mention of it and the
    // oldest beyond eight. False when it was first already (nothing to save).
    bool Add(const std::string& path);
    // False when it was not in the list.
    bool Remove(const std::string& path);
    // Drops the files that no longer exist; false when all of them do.
    bool DropMissing();

    // Takes the list as kept; empty, relative and repeated entries are skipped.
    void Load(const std::vector<std::string>& kept);
    // Keeps the list in state and its file. False when it could not be written.
    bool Save(ProgramState& state) const;

private:
    std::vector<std::string> m_paths;
};

}  // namespace orm
