#include "cli/reportcommand.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <map>
#include <optional>
#include <ostream>

#include "cli/commands.h"
#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/report/reportgen.h"
#include "core/text/cp1251.h"

namespace orm::cli {

const char kReportUsage[] =
    "  ormelit-cli report PROJECT N [--param K=START[:LEVELS]]... [--format rtf|txt] [--info]\n"
    "                     [--output OUT]\n"
    "      Write report N (1..12) of PROJECT to OUT, or to standard output. Parameter row K\n"
    "      starts at the item numbered START (the classifier index alone: the whole classifier)\n"
    "      and lists LEVELS levels (0, the default: all); rows not given start where the\n"
    "      parameter dialog does. --format txt (default) or rtf; --info lists the parameters\n"
    "      in the report's head. Exit code 3: a parameter's classifier has no items to choose\n"
    "      from, or the project has no such classifier.\n";

namespace {

// The menu offers the configured reports only; batch use reaches every report the generator
// composes, with the rows the metamodel defines for it.
class AllReports : public TStructRes14 {
public:
    int KindCount(ResKind kind) const override
    {
        return kind == ResKind::Report ? kReportCount : TStructRes14::KindCount(kind);
    }
};

const TStructRes& allReports()
{
    static const AllReports meta;
    return meta;
}

struct ParamOverride {
    std::string Text;   // as given, for messages
    std::string Start;  // dotted number
    int Levels = 0;     // INT_MAX when too large to read
};

int usage(std::ostream& err, const std::string& problem)
{
    return UsageError(err, problem, kReportUsage);
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char ch) { return ch >= '0' && ch <= '9'; });
}

// Digits only; a value too large for an int reads as INT_MAX, which every range refuses.
int readCount(std::string_view digits)
{
    int value = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return ec == std::errc() ? value : INT_MAX;
}

// "K=START[:LEVELS]" into k and choice; the empty string, or what is wrong with it.
std::string parseParam(const std::string& text, int& k, ParamOverride& choice)
{
    const auto eq = text.find('=');
    if (eq == std::string::npos || !allDigits(std::string_view(text).substr(0, eq)))
        return "--param needs K=START[:LEVELS], got \"" + text + "\"";
    k = readCount(std::string_view(text).substr(0, eq));
    std::string value = text.substr(eq + 1);
    choice.Text = text;
    const auto colon = value.find(':');
    if (colon != std::string::npos) {
        const std::string levels = value.substr(colon + 1);
        if (!allDigits(levels))
            return "--param " + text + ": LEVELS must be a number";
        choice.Levels = readCount(levels);
        value.resize(colon);
    }
    if (value.empty())
        return "--param " + text + ": START is missing";
    choice.Start = value;
    return std::string();
}

int rowCount(const ReportParamRows& rows)
{
    int count = 0;
    while (count < kReportParamRows && rows[static_cast<size_t>(count)].Mode != 0)
        ++count;
    return count;
}

// The start node a choice names, checked as the dialog would limit it; the empty string, or
// what is wrong with the choice.
std::string checkChoice(TTreeList& project, int n, const ReportParam& row,
                        const ParamOverride& choice, TTreeList*& start)
{
    const std::string c = std::to_string(row.Classifier);
    start = nullptr;
    try {
        start = project.FindByNumber(choice.Start);
    } catch (const std::exception&) {
    }
    // Only the canonical spelling: "4." or "04.1" would be found as well.
    if (!start || start == &project || start->Number() != choice.Start)
        return "there is no item numbered " + choice.Start;
    if (start->ClassifierIndex() != row.Classifier)
        return choice.Start + " is not in classifier " + c + " (" +
               ToUtf8(allReports().DisplayName(row.Classifier, ResKind::Classifier)) + ")";
    if (row.Mode == 1 && start->Level() != 1)
        return "report " + std::to_string(n) + " takes the whole classifier " + c +
               ": START must be " + c;
    if (row.Mode == 2 && start->Level() == 1)
        return "report " + std::to_string(n) + " needs one item of classifier " + c +
               ", not the whole classifier";
    const int offered = LevelChoiceCount(*start);
    if (choice.Levels > offered)
        return "LEVELS must be 0 (all) to " + std::to_string(offered) + " for " + choice.Start;
    return std::string();
}

bool writeToStandardOutput(const std::string& bytes, std::ostream& out, std::ostream& err)
{
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (out)
        return true;
    err << "ormelit-cli: cannot write to standard output\n";
    return false;
}

}  // namespace

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    // -- the command line
    std::optional<std::string> projectPath;
    std::optional<std::string> numberText;
    std::optional<std::string> format;
    std::optional<std::string> output;
    std::vector<std::string> paramTexts;
    bool info = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << "Usage:\n" << kReportUsage;
            return kOk;
        }
        if (a == "--info") {
            info = true;
            continue;
        }
        // Options with a value: "--name VALUE" or "--name=VALUE".
        std::string name = a;
        std::optional<std::string> value;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            name = a.substr(0, a.find('='));
            value = a.substr(a.find('=') + 1);
        }
        if (name == "-o")
            name = "--output";
        if (name == "--param" || name == "--format" || name == "--output") {
            if (!value) {
                if (i + 1 >= args.size())
                    return usage(err, name + " needs a value");
                value = args[++i];
            }
            if (name == "--param") {
                paramTexts.push_back(*value);
            } else {
                std::optional<std::string>& slot = name == "--format" ? format : output;
                if (slot)
                    return usage(err, name + " given twice");
                slot = *value;
            }
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return usage(err, "unknown option " + a);
        } else if (!projectPath) {
            projectPath = a;
        } else if (!numberText) {
            numberText = a;
        } else {
            return usage(err, "unexpected argument " + a);
        }
    }
    if (!projectPath)
        return usage(err, "no project given");
    if (!numberText)
        return usage(err, "no report number given");
    const int n = allDigits(*numberText) ? readCount(*numberText) : 0;
    if (n < 1 || n > kReportCount)
        return usage(err, "the report number must be 1.." + std::to_string(kReportCount) +
                              ", got " + *numberText);
    if (format && *format != "rtf" && *format != "txt")
        return usage(err, "--format must be rtf or txt, got " + *format);
    if (output && output->empty())
        return usage(err, "--output needs a file name");

    ReportParamRows rows;
    allReports().ReportParams(n, rows);
    const int rowsOfReport = rowCount(rows);
    std::map<int, ParamOverride> overrides;  // by row, so values are checked in row order
    for (const std::string& text : paramTexts) {
        int k = 0;
        ParamOverride choice;
        const std::string problem = parseParam(text, k, choice);
        if (!problem.empty())
            return usage(err, problem);
        if (k < 1 || k > rowsOfReport)
            return usage(err, "--param " + text + ": report " + std::to_string(n) + " has " +
                                  std::to_string(rowsOfReport) + " parameter row(s)");
        if (!overrides.emplace(k, choice).second)
            return usage(err, "--param for row " + std::to_string(k) + " given twice");
    }

    // -- the project
    CommandProject held;
    TMainTreeList& project = *held;
    const LoadResult loaded = project.ReadProjectFile(*projectPath);
    if (!loaded.Ok) {
        err << "Не верный формат проекта!\n";
        return kBadProject;
    }
    if (loaded.CutOff)
        err << CutOffWarning(*projectPath) << "\n";

    // -- the rows, in row order, as the dialog refuses them
    for (int k = 0; k < rowsOfReport; ++k) {
        const ReportParam& row = rows[static_cast<size_t>(k)];
        const TTreeList* tree = nullptr;
        if (row.Classifier >= 1 && row.Classifier <= project.Count())
            tree = project.TreeByIndex(row.Classifier);
        if (!tree || (row.Mode == 2 && tree->Count() == 0)) {
            err << ToUtf8(ToCp1251("Не заданы ") +
                          allReports().DisplayName(row.Classifier, ResKind::Classifier) + "!")
                << "\n";
            return kReportNoItems;
        }
    }

    // -- the --param values, over the dialog's preselection
    TReportObj report(project, allReports());
    std::string message;
    if (report.PrepareParameters(n, message) != ReportFault::None) {
        // The rows were checked above; kept so that a gap between the two checks cannot pass.
        err << ToUtf8(message) << "\n";
        return kReportNoItems;
    }
    for (const auto& [k, choice] : overrides) {
        ReportParam& row = report.Params()[static_cast<size_t>(k - 1)];
        TTreeList* start = nullptr;
        const std::string problem = checkChoice(project, n, row, choice, start);
        if (!problem.empty()) {
            err << "ormelit-cli: --param " << choice.Text << ": " << problem << "\n";
            return kUsage;
        }
        row.StartItem = start;
        row.Levels = choice.Levels;
    }

    // -- the document
    const ReportOptions options{format.value_or("txt") == "rtf", info};
    const auto failed = [&] {
        err << ToUtf8(ReportFailureMessage(n, allReports())) << "\n";
        return kReportNoItems;
    };
    if (output) {
        // Straight into the file as it is made, so the report is never held whole; a report
        // that fails halfway leaves no file, and any file there was stays as it was.
        struct NotComposed {};
        std::string reason;
        try {
            if (WriteFileAtomically(*output, [&](ByteSink& sink) {
                    if (!report.BuildReport(n, options, sink))
                        throw NotComposed{};
                }, &reason))
                return kOk;
        } catch (const NotComposed&) {
            return failed();
        }
        err << "ormelit-cli: cannot write " << *output << ": " << reason << "\n";
        return kCannotWrite;
    }
    if (!report.BuildReport(n, options))
        return failed();
    if (!writeToStandardOutput(report.TakeDocument().Bytes, out, err))
        return kCannotWrite;
    return kOk;
}

}  // namespace orm::cli
