#pragma once

// ormelit-cli publish: the project as a static web site.

#include <iosfwd>
#include <string>
#include <vector>

namespace orm::cli {

// The command's lines of the usage text, in the form of the other commands' lines.
extern const char kPublishUsage[];

// args[0] is "publish". Exit codes as the other commands: 0 done, 1 wrong usage, 2 the project
// cannot be read or has a format fault (nothing is written), 4 the folder is refused or the
// site cannot be written (the folder keeps what it held).
int RunPublish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orm::cli
