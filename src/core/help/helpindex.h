#pragma once

// Context help without widgets: the name of a help context, the help index file (an INI file
// that help authors edit, mapping context names to keywords) and the lookup of a context in it.
//
// Paths here are native (UTF-8); names and keywords read from the index are Windows-1251 like
// every other text of the core.

#include <optional>
#include <string>
#include <string_view>

namespace orm {

class TProfile;

// path with the extension of its file name replaced by ext (".QHL"), or ext appended when the
// file name has none (a dot in a folder name or at the start of the file name is not one).
std::string ReplaceExtension(const std::string& path, std::string_view ext);

// The help index file: Help / HelpIniFileName of the settings file, or the executable's path
// with ".QHL" when that is empty; made absolute against the current directory. The profile is
// pointed at settingsFile.
std::string HelpIndexFileNameFor(const std::string& settingsFile,
                                 const std::string& executablePath, TProfile& profile);

// A window as context help sees it: its help class name ("TF_A1") and its Tag.
struct HelpForm {
    std::string ClassName;
    int Tag = 0;
};

// The context name of the window the user is working in. active: the active top-level window,
// nullptr when there is none (then the main window's class name is the answer). owner: the
// window that owns the control with the keyboard focus when that is not the active window (a
// child window inside the main window), else nullptr. The Tag of the owner, or else of the
// active window, is appended as "_tag<n>" when it is not 0:
// TF_Main, TF_Main_TF_A1_tag4, TF_SETUP.
std::string ContextName(const HelpForm* active, const HelpForm* owner,
                        std::string_view mainClassName = "TF_Main");

// The help file of an index: Help / HelpFileName (a relative name counts from the index's
// folder), or the index's path with ".HLP". The old help files cannot be shown here, so when
// that file does not exist the same path with ".html", then ".htm", is tried. Empty when none
// of them exists.
std::string ChooseHelpFile(const std::string& indexFile);

struct HelpTopic {
    std::string HelpFile;  // native path of an existing file
    std::string Keyword;   // Windows-1251; may list several keywords separated by ';'
};

// Where help for context is: nothing when the index file name is empty, when no help file
// exists, or when neither the context nor Help / NotFound has a keyword. A context without a
// keyword of its own is written with an empty value into section AddNotFound of the index
// (edited in place) when Help / EnableAddNotFound is a non-zero decimal integer; that happens
// only when a help file exists, so a bare index is never written.
std::optional<HelpTopic> LookUpHelpTopic(const std::string& indexFile, std::string_view context);

}  // namespace orm
