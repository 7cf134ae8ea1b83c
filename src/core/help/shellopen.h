#pragma once

// Opening a file "as the shell does", without widgets: the numeric results and messages users
// know from the Windows shell, the splitting of a parameter line into arguments, and the checks
// that tell why a file cannot be opened before anything is started (a started xdg-open or a
// detached process cannot report most of these afterwards).

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orm {

// Shell results; 32 and below are errors.
enum ShellResult : int {
    kShellOutOfMemory = 8,
    kShellFileNotFound = 2,
    kShellPathNotFound = 3,
    kShellAccessDenied = 5,
    kShellBadFormat = 11,
    kShellNoAssociation = 31,
    kShellSuccess = 33,
};

// The message for a shell error code, Windows-1251. Codes that only old Windows produced keep
// their texts; any code not in the table gives "Неизвестная ошибка".
std::string ShellErrorMessage(int code);

// A program or document that could not be opened: the shell's code and its message.
// what() is the message (Windows-1251); it is what the error box shows.
class ERunPrgError : public std::runtime_error {
public:
    explicit ERunPrgError(int code);
    int Code() const { return m_code; }

private:
    int m_code;
};

// The arguments of a parameter line (Windows-1251 in, Windows-1251 out). Blanks (space, tab)
// outside double quotes separate arguments; a double-quoted part keeps its blanks and joins the
// text next to it (a"b c"d is one argument); inside one, "" is a literal double quote; "" alone
// is an empty argument; an unclosed quote runs to the end. Nothing else is special: backslashes,
// single quotes, $ ; | & * and the like arrive as written, since no shell ever sees them.
std::vector<std::string> SplitCommandLine(std::string_view params);

// What opening file in dir would do.
struct ShellTarget {
    enum Kind { Failed, Executable, Document };
    Kind What = Failed;
    int Error = 0;     // the shell code when Failed
    std::string Path;  // absolute path of the file found, when not Failed
};

// Finds and checks file (native path) for opening in dir (native; empty: the current folder),
// in this order: dir missing or not a folder -> 3; the file's folder missing -> 3; the file
// missing -> 2; a folder or file in the way that may not be searched or read -> 5. A relative
// name is looked up in dir (or the current folder); a bare name also in the current folder and
// then in searchPath (":"-separated, like PATH), where only executables count. A regular file
// that may be executed is an Executable; anything else found (a document, a folder) is a
// Document, to be opened by the program associated with its type.
ShellTarget ClassifyShellOpen(const std::string& file, const std::string& dir,
                              std::string_view searchPath);

}  // namespace orm
