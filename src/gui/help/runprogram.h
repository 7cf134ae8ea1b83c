#pragma once

// Starting a program or opening a document, as the Windows shell's "open" did for the extra
// menu: the program starts in its working folder with its parameters and is not waited for; a
// document opens in the program associated with its type (xdg-open). No shell ever sees the
// parameters. Failures raise ERunPrgError with the shell's code and message.

#include <string>

#include "core/help/shellopen.h"

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

    // Classifies, then starts. Throws ERunPrgError: 2, 3 and 5 from the checks; 11 when an
    // executable does not start; 31 when a document has no associated program (or xdg-open and
    // xdg-mime are not on PATH) or xdg-open does not start.
    void Run() const;
};

// A TRunPrg with the normal window state, run once.
void RunProgram(const std::string& file, const std::string& params, const std::string& dir);

}  // namespace orm
