#include "cli/publishcommand.h"

#include <ostream>

#include "cli/commands.h"
#include "core/model/project.h"
#include "core/publish/publish.h"

namespace orm::cli {

const char kPublishUsage[] =
    "  ormelit-cli publish PROJECT --output DIR [--date TEXT]\n"
    "      Publish PROJECT as a static web site in DIR (an empty folder or an earlier\n"
    "      publication, whose files alone are replaced); TEXT is the date the start page shows.\n";

namespace {

int usage(std::ostream& err, const std::string& problem)
{
    return UsageError(err, problem, kPublishUsage);
}

}  // namespace

int RunPublish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string input;
    std::string output;
    bool haveOutput = false;
    PublishOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--output" || a == "-o") {
            if (i + 1 >= args.size()) return usage(err, "--output needs a folder name");
            if (haveOutput) return usage(err, "--output given twice");
            output = args[++i];
            haveOutput = true;
        } else if (a.rfind("--output=", 0) == 0) {
            if (haveOutput) return usage(err, "--output given twice");
            output = a.substr(9);
            haveOutput = true;
        } else if (a == "--date") {
            if (i + 1 >= args.size()) return usage(err, "--date needs a text");
            options.Date = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return usage(err, "unknown option " + a);
        } else if (input.empty()) {
            input = a;
        } else {
            return usage(err, "more than one project given");
        }
    }
    if (input.empty()) return usage(err, "no project given");
    if (!haveOutput || output.empty()) return usage(err, "no --output given");

    CommandProject held;
    TMainTreeList& project = *held;
    const LoadResult loaded = project.ReadProjectFile(input);
    if (loaded.Unreadable) {
        err << "ormelit-cli: cannot read " << input << "\n";
        return kBadProject;
    }
    if (!loaded.Ok) {
        // A site of half a project would look complete; nothing is written.
        err << "Не верный формат проекта!\n";
        return kBadProject;
    }
    if (loaded.CutOff)
        err << CutOffWarning(input) << "\n";

    const PublishOutcome outcome = PublishSite(project, output, options);
    if (outcome.Result != PublishResult::Done) {
        err << "ormelit-cli: " << outcome.Message << "\n";
        return kCannotWrite;
    }
    out << "ormelit-cli: " << outcome.Files << " files published in " << output << "\n";
    return kOk;
}

}  // namespace orm::cli
