#pragma once

// What the program remembers for itself between runs: the projects last opened or saved and the
// last sizes of the report viewer and the organigram window. It lives in a small file of its own
// in the user's state folder, never in the settings file, which belongs to the administrator and
// the user. Losing it loses comfort, never data: a file that is missing, unreadable or damaged
// reads as nothing kept, and a write that fails is not reported.
//
// The file is INI text in UTF-8 (paths as the system spells them) with the sections earlier
// versions kept in the settings file: [RECENT_FILES] FILE1 to FILE8, newest first, and
// [WINDOWS] <form name>_WIDTH and _HEIGHT.

#include <string>
#include <vector>

#include "core/settings/inifile.h"

namespace orm {

// A window's size in pixels as designed at 96 dpi; 0 by 0 when none was kept.
struct WindowSize {
    int Width = 0;
    int Height = 0;
    bool IsKept() const { return Width > 0 && Height > 0; }
    bool operator==(const WindowSize&) const = default;
};

struct ProgramState {
    // The state file; empty when there is none (no home folder; a window outside the program).
    std::string FileName;
    // As kept, newest first; RecentFiles::Load sorts out what is usable.
    std::vector<std::string> RecentProjects;
    WindowSize ReportViewerSize;  // form TF_RTF
    WindowSize OrganigramSize;    // form TF_WMF
};

// $HOME, or the home folder of the user's account when it is not set; empty when neither.
std::string HomeFolder();

// "<stateHome>/ormelit/state.ini", stateHome being xdgStateHome when it is absolute, else
// "<home>/.local/state"; empty when neither is usable.
std::string StateFileNameFor(const std::string& xdgStateHome, const std::string& home);
// The same with $XDG_STATE_HOME from the environment and HomeFolder().
std::string LocateStateFile();

// Reads the state file fileName into state. Only when that file does not exist yet, each
// section is taken from the first of oldSettingsFiles that has it (the settings files where
// earlier versions kept them, Windows-1251) and written to a new state file at once, so this
// happens once; the settings files are only read.
void LoadProgramState(ProgramState& state, const std::string& fileName,
                      const std::vector<std::string>& oldSettingsFiles);

// Keeps the last size of form "TF_RTF" or "TF_WMF" in state and, when it changed, in the file.
// False for another form or no size, and when the file could not be written.
bool SaveWindowSize(ProgramState& state, const std::string& formName, WindowSize size);

// Keeps the list in state and writes it, FILE1 onwards, the keys beyond it removed. A path the
// file cannot give back as it is (a line break, blanks at its end, too long) is left out.
bool SaveRecentProjects(ProgramState& state, const std::vector<std::string>& paths);

// The assignments in one save of the state file, its folders made when missing. A damaged file
// (not text we could have written) is replaced rather than edited; one that cannot be read is
// left alone. False when nothing was saved or an assignment was refused.
bool WriteStateValues(const std::string& fileName,
                      const std::vector<IniFile::Assignment>& assignments);

// Makes the missing folders of folder, each private to the user, as configuration and state
// folders are. True when the folder is there afterwards.
bool MakePrivateFolders(const std::string& folder);

}  // namespace orm
