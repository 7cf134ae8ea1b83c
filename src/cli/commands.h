#pragma once

// ormelit-cli: the program's documents without windows, for batch use.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace orm {
class TMainTreeList;
}

namespace orm::cli {

enum ExitCode {
    kOk = 0,
    kUsage = 1,
    kBadProject = 2,
    kCannotWrite = 4,
};

// A command's usage error: the problem, then that command's lines of the usage text; returns
// kUsage.
int UsageError(std::ostream& err, const std::string& problem, const char* usage);

// Runs one command line (without the program name); messages go to err in UTF-8.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// When on, the project a command reads is not destroyed when the command ends but left for the
// end of the process: the program exits right after its one command, and freeing a large tree
// block by block costs about a sixth of a resave for nothing. The project stays reachable, so a
// leak checker reports nothing. Off by default, for callers that run many commands in one
// process; a later command frees the project an earlier one left.
void LeaveProjectsToProcessExit(bool leave);

// The project of one command, destroyed at the end of the command or left as above.
class CommandProject {
public:
    CommandProject();
    ~CommandProject();
    CommandProject(const CommandProject&) = delete;
    CommandProject& operator=(const CommandProject&) = delete;
    TMainTreeList& operator*() const { return *m_project; }

private:
    std::unique_ptr<TMainTreeList> m_project;
};

}  // namespace orm::cli
