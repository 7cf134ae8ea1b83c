#pragma once

// ormelit-cli report: a report document written without windows, for batch use.

#include <iosfwd>
#include <string>
#include <vector>

namespace orm::cli {

// Exit code of a parameter row whose classifier has no items to choose from, or that the project
// lacks ("Не заданы <classifier>!").
inline constexpr int kReportNoItems = 3;

// The command's lines of the usage text.
extern const char kReportUsage[];

// args[0] is "report". Checks, in this order: the command line (exit 1), the project (exit 2),
// the report's parameter rows in row order (exit 3), the --param values (exit 1); then writes
// the document's bytes to --output or to out. Messages go to err in UTF-8.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orm::cli
