#include "cli/organigramcommand.h"

#include <ostream>

#include "cli/commands.h"
#include "core/io/safefile.h"
#include "core/model/numbers.h"
#include "core/model/project.h"
#include "core/organigram/organigramfill.h"
#include "core/organigram/wmfwriter.h"

namespace orm::cli {

const char kOrganigramUsage[] =
    "  ormelit-cli organigram PROJECT ITEM [--output OUT.wmf]\n"
    "      Draw the organigram of ITEM (a dotted item number such as 4.2, or a classifier\n"
    "      index alone for the whole classifier) as a placeable metafile, written to OUT.wmf\n"
    "      or to standard output.\n";

namespace {

int usage(std::ostream& err, const std::string& problem)
{
    return UsageError(err, problem, kOrganigramUsage);
}

// The node a dotted number addresses, or nullptr. Every component must be a plain positive
// number within its parent's children; the first one picks the classifier.
const TTreeList* findItem(const TTreeList& project, const std::string& number)
{
    if (number.empty()) return nullptr;
    const TTreeList* node = &project;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = number.find('.', start);
        const std::string_view part =
            std::string_view(number).substr(start, dot == std::string::npos ? dot : dot - start);
        int position = 0;
        if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos ||
            !ParseInt(part, position) || position < 1 || position > node->Count())
            return nullptr;
        node = node->Child(position - 1);
        if (dot == std::string::npos) return node;
        start = dot + 1;
    }
}

}  // namespace

int RunOrganigram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> positional;
    std::string output;
    bool haveOutput = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--output" || a == "-o") {
            if (i + 1 >= args.size()) return usage(err, "--output needs a file name");
            if (haveOutput) return usage(err, "--output given twice");
            output = args[++i];
            haveOutput = true;
        } else if (a.rfind("--output=", 0) == 0) {
            if (haveOutput) return usage(err, "--output given twice");
            output = a.substr(9);
            haveOutput = true;
        } else if (!a.empty() && a[0] == '-') {
            return usage(err, "unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 2)
        return usage(err, positional.empty() ? "no project given" : "no item given");
    if (positional.size() > 2) return usage(err, "more than one item given");
    if (haveOutput && output.empty()) return usage(err, "--output needs a file name");

    CommandProject held;
    TMainTreeList& project = *held;
    const LoadResult loaded = project.ReadProjectFile(positional[0]);
    if (!loaded.Ok) {
        // A chart of half a project would look complete; nothing is written.
        err << "Не верный формат проекта!\n";
        return kBadProject;
    }
    if (loaded.CutOff)
        err << CutOffWarning(positional[0]) << "\n";
    const TTreeList* item = findItem(project, positional[1]);
    if (!item) {
        err << "ormelit-cli: no item " << positional[1] << " in " << positional[0] << "\n";
        return kUsage;
    }

    TDiagData diagram;
    FillOrganigram(diagram, *item);
    const std::string wmf = BuildOrganigramWmf(diagram);
    if (!haveOutput) {
        out.write(wmf.data(), static_cast<std::streamsize>(wmf.size()));
        out.flush();
        if (!out) {
            err << "ormelit-cli: cannot write the standard output\n";
            return kCannotWrite;
        }
        return kOk;
    }
    std::string reason;
    if (!WriteFileAtomically(output, wmf, &reason)) {
        err << "ormelit-cli: cannot write " << output << ": " << reason << "\n";
        return kCannotWrite;
    }
    return kOk;
}

}  // namespace orm::cli
