#pragma once

// ormelit-cli: the program's documents without windows, for batch use.

#include <iosfwd>
#include <string>
#include <vector>

namespace orm::cli {

enum ExitCode {
    kOk = 0,
    kUsage = 1,
    kBadProject = 2,
    kCannotWrite = 4,
};

// Runs one command line (without the program name); messages go to err in UTF-8.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orm::cli
