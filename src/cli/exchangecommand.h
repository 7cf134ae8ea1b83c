#pragma once

// ormelit-cli export-grid, import-grid and import-items: a binding matrix out to CSV and back,
// and items from a text file, for scripts.

#include <iosfwd>
#include <string>
#include <vector>

namespace orm::cli {

// The commands' lines of the usage text, in the form of the other commands' lines.
extern const char kExchangeUsage[];

// args[0] is the command. Exit codes as the other commands: 0 done, 1 wrong usage, 2 the project
// or the file to bring in cannot be read or has a fault (nothing is written), 3 a classifier of
// the grid has no items, 4 the output cannot be written.
int RunExportGrid(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunImportGrid(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunImportItems(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orm::cli
