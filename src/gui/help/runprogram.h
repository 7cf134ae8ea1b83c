#pragma once

// Starting a program or opening a document, as the Windows shell's "open" did for the extra
// menu: the program starts in its working folder with its parameters and is not waited for; a
// document opens in the program associated with its type (xdg-open). No shell ever sees the
// parameters. Failures raise ERunPrgError with the shell's code and message.

#include <functional>
#include <string>

#include "core/help/shellopen.h"

class QUrl;

namespace orm {

enum class TShowMode { smNormal, smMaximized, smMinimized };

class TRunPrg {
public:
    // Windows-1251, as the settings file gives them.
    std::string ProgramName;
    std::string Parameters;  // split by SplitCommandLine; ignored for documents
    std::string StartDir;    // empty: the current folder
    // Kept for the settings' sake: a program on this desktop chooses its own window state.
    TShowMode ShowMode = TShowMode::smNormal;

    // Classifies, then starts. A ProgramName that is a URL ("http:", "mailto:", any scheme of
    // two or more letters; "C:" is a drive) goes to the desktop's URL handler. Throws
    // ERunPrgError: 2, 3 and 5 from the checks; 11 when an executable does not start; 31 when a
    // document has no associated program (or xdg-open and xdg-mime are not on PATH), xdg-open
    // does not start, or no handler takes the URL.
    void Run() const;
};

// How URLs are opened (QDesktopServices::openUrl unless replaced); true when a handler took it.
using UrlOpener = std::function<bool(const QUrl&)>;
// Replaces the URL opener (for tests); an empty one restores the desktop's.
void SetUrlOpener(UrlOpener opener);

// A TRunPrg with the normal window state, run once.
void RunProgram(const std::string& file, const std::string& params, const std::string& dir);

}  // namespace orm
