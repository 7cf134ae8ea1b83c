#pragma once

// ormelit-cli organigram: the organigram of one item written as a placeable metafile.

#include <iosfwd>
#include <string>
#include <vector>

namespace orm::cli {

// The command's lines of the usage text, in the form of the other commands' lines.
extern const char kOrganigramUsage[];

// args[0] is "organigram". Exit codes as the other commands: 0 done, 1 wrong usage or an item
// that is not in the project, 2 the project has a format fault (nothing is written), 4 the
// output cannot be written. Without --output the metafile goes to out.
int RunOrganigram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orm::cli
