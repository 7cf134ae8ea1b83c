#include "cli/exchangecommand.h"

#include <optional>
#include <ostream>

#include "cli/commands.h"
#include "cli/reportcommand.h"
#include "core/exchange/itemtext.h"
#include "core/exchange/matrixcsv.h"
#include "core/io/safefile.h"
#include "core/model/metamodel.h"
#include "core/model/project.h"
#include "core/prompts/prompts.h"
#include "core/text/cp1251.h"

namespace orm::cli {

const char kExchangeUsage[] =
    "  ormelit-cli export-grid PROJECT A B [--output FILE.csv]\n"
    "      Write the binding matrix of classifiers A (across) and B (down) as the grid's CSV\n"
    "      export does (to standard output without --output). A B: 1 4, 2 4 or 3 4.\n"
    "  ormelit-cli import-grid PROJECT A B FILE.csv [--output OUT]\n"
    "      Bind and unbind as the matrix in FILE.csv says; a summary on standard output.\n"
    "  ormelit-cli import-items PROJECT NUMBER FILE.txt [--output OUT]\n"
    "      Add the items of a text file (one per line, depth by tabs or dotted numbers) under\n"
    "      the item NUMBER (a classifier's number for its top level).\n"
    "      Both imports write PROJECT in place without --output, and nothing on any error.\n";

namespace {

// Messages of the core's prompts (a classifier without items) go to standard error.
class ErrorPrompts : public Prompts {
public:
    explicit ErrorPrompts(std::ostream& err) : m_err(err) {}
    void Inform(const std::string& text) override { m_err << ToUtf8(text) << "\n"; }
    bool Confirm(const std::string&, Answer) override { return false; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::Cancel; }
    std::optional<std::string> InputText(const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
    std::optional<std::string> OpenFileName(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> SaveFileName(const FileDialogSpec&) override { return {}; }

private:
    std::ostream& m_err;
};

int usage(std::ostream& err, const std::string& problem)
{
    return UsageError(err, problem, kExchangeUsage);
}

struct Arguments {
    std::vector<std::string> positional;
    std::optional<std::string> output;
};

std::optional<Arguments> parse(const std::vector<std::string>& args, std::ostream& err)
{
    Arguments parsed;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--output" || a == "-o") {
            if (i + 1 >= args.size() || parsed.output) {
                usage(err, "--output needs one file name");
                return std::nullopt;
            }
            parsed.output = args[++i];
        } else if (a.rfind("--output=", 0) == 0 && !parsed.output) {
            parsed.output = a.substr(9);
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            usage(err, "unknown option " + a);
            return std::nullopt;
        } else {
            parsed.positional.push_back(a);
        }
    }
    return parsed;
}

// The projection whose grid pairs classifier a across with classifier b down, or 0.
int projectionOf(const std::string& a, const std::string& b)
{
    const TStructRes& meta = Metamodel();
    for (int p = 1; p <= meta.KindCount(ResKind::Projection); ++p) {
        const auto [first, second] = TStructRes::ProjectionPair(p);
        if (std::to_string(first) == a && std::to_string(second) == b)
            return p;
    }
    return 0;
}

// Reads the project at path; on a fault says why and returns false.
bool readProject(TMainTreeList& project, const std::string& path, std::ostream& err)
{
    const LoadResult loaded = project.ReadProjectFile(path);
    if (loaded.Unreadable) {
        err << "ormelit-cli: cannot read " << path << "\n";
        return false;
    }
    if (!loaded.Ok) {
        err << "Не верный формат проекта!\n";
        return false;
    }
    if (loaded.CutOff)
        err << CutOffWarning(path) << "\n";
    return true;
}

int writeProject(TMainTreeList& project, const std::string& path, std::ostream& err)
{
    project.SetFileName(path);
    std::string reason;
    if (project.WriteProjectFile(&reason))
        return kOk;
    err << "ormelit-cli: cannot write " << path << ": " << reason << "\n";
    return kCannotWrite;
}

std::optional<std::string> readInput(const std::string& path, std::ostream& err)
{
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes)
        err << "ormelit-cli: cannot read " << path << "\n";
    return bytes;
}

// What both grid commands start with: the arguments, the projection that pairs A and B, the
// project read. Returns the exit code of a failure, or nothing to go on.
struct GridCommand {
    Arguments arguments;
    int projection = 0;
};

std::optional<int> startGrid(const std::vector<std::string>& args, size_t positionals,
                             const char* takes, TMainTreeList& project, GridCommand& command,
                             std::ostream& err)
{
    const std::optional<Arguments> parsed = parse(args, err);
    if (!parsed)
        return kUsage;
    if (parsed->positional.size() != positionals)
        return usage(err, takes);
    command.arguments = *parsed;
    command.projection = projectionOf(parsed->positional[1], parsed->positional[2]);
    if (command.projection == 0)
        return usage(err, "A B must be 1 4, 2 4 or 3 4");
    if (!readProject(project, parsed->positional[0], err))
        return kBadProject;
    return std::nullopt;
}

}  // namespace

int RunExportGrid(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    CommandProject held;
    TMainTreeList& project = *held;
    GridCommand command;
    if (const auto failed =
            startGrid(args, 3, "export-grid takes PROJECT A B", project, command, err))
        return *failed;
    const Arguments* parsed = &command.arguments;
    const int p = command.projection;
    const auto [first, second] = TStructRes::ProjectionPair(p);
    ErrorPrompts prompts(err);
    ItemList columns;
    ItemList rows;
    if (!project.FillItemList(second, rows, prompts) ||
        !project.FillItemList(first, columns, prompts))
        return kReportNoItems;
    const std::string csv =
        WriteMatrixCsv(Metamodel().DisplayName(p, ResKind::Projection), columns, rows);
    if (!parsed->output) {
        out << csv;
        return out.flush() ? kOk : kCannotWrite;
    }
    std::string reason;
    if (WriteFileAtomically(*parsed->output, csv, &reason))
        return kOk;
    err << "ormelit-cli: cannot write " << *parsed->output << ": " << reason << "\n";
    return kCannotWrite;
}

int RunImportGrid(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    CommandProject held;
    TMainTreeList& project = *held;
    GridCommand command;
    if (const auto failed = startGrid(args, 4, "import-grid takes PROJECT A B FILE.csv", project,
                                      command, err))
        return *failed;
    const Arguments* parsed = &command.arguments;
    const int p = command.projection;
    const std::optional<std::string> csv = readInput(parsed->positional[3], err);
    if (!csv)
        return kBadProject;
    const auto [first, second] = TStructRes::ProjectionPair(p);
    const MatrixImport import = ReadMatrixCsv(project, first, second, *csv);
    if (!import.Error.empty()) {
        err << ToUtf8(import.Error) << "\n";
        return kBadProject;
    }
    ApplyMatrix(import);
    out << ToUtf8(MatrixImportSummary(import)) << "\n";
    return writeProject(project, parsed->output.value_or(parsed->positional[0]), err);
}

int RunImportItems(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const std::optional<Arguments> parsed = parse(args, err);
    if (!parsed)
        return kUsage;
    if (parsed->positional.size() != 3)
        return usage(err, "import-items takes PROJECT NUMBER FILE.txt");
    CommandProject held;
    TMainTreeList& project = *held;
    if (!readProject(project, parsed->positional[0], err))
        return kBadProject;
    const std::string& number = parsed->positional[1];
    TTreeList* parent = nullptr;
    try {
        parent = project.FindByNumber(number);
    } catch (const std::exception&) {
    }
    const int classifiers = Metamodel().KindCount(ResKind::Classifier);
    if (!parent || parent == &project || parent->Number() != number ||
        parent->ClassifierIndex() > classifiers)
        return usage(err, "there is no item numbered " + number);
    const std::optional<std::string> text = readInput(parsed->positional[2], err);
    if (!text)
        return kBadProject;
    const ItemTextRead read = ReadItemText(*text);
    if (!read.Error.empty()) {
        err << ToUtf8(read.Error) << "\n";
        return kBadProject;
    }
    out << "added " << AddTextItems(parent, read.Items) << " items under " << number << "\n";
    return writeProject(project, parsed->output.value_or(parsed->positional[0]), err);
}

}  // namespace orm::cli
