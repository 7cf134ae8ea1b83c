#include "cli/commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <ostream>

#include "cli/exchangecommand.h"
#include "cli/organigramcommand.h"
#include "cli/publishcommand.h"
#include "cli/reportcommand.h"
#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/text/cp1251.h"
#include "version.h"

namespace orm::cli {

namespace {

bool g_leaveProjects = false;
// The project left by the last command while LeaveProjectsToProcessExit is on.
TMainTreeList* g_leftProject = nullptr;

const char kResaveUsage[] =
    "  ormelit-cli resave PROJECT --output OUT\n"
    "      Read PROJECT as Ormelit reads a project file and write it to OUT as Ormelit saves it.\n";

const char kExitCodes[] =
    "\n"
    "Exit codes: 0 done; 1 wrong usage; 2 the project cannot be read or has a format fault\n"
    "(resave still writes what was read before a fault, but nothing for a project it cannot\n"
    "open; organigram and report write nothing); 3 a report parameter's classifier has no\n"
    "items or is missing; 4 the output cannot be written.\n";

void printUsage(std::ostream& stream)
{
    stream << "Usage:\n" << kResaveUsage << kReportUsage << kOrganigramUsage << kPublishUsage
           << kExchangeUsage << kExitCodes;
}

int usage(std::ostream& err, const std::string& problem)
{
    if (!problem.empty())
        err << "ormelit-cli: " << problem << "\n";
    printUsage(err);
    return kUsage;
}

// Why a project file could not be read at path.
std::string unreadableReason(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::strerror(errno);
    struct stat st{};
    const int statted = ::fstat(fd, &st);
    ::close(fd);
    if (statted == 0 && S_ISDIR(st.st_mode))
        return std::strerror(EISDIR);
    if (statted == 0 && !S_ISREG(st.st_mode))
        return "not a regular file";
    return std::strerror(EIO);
}

int resave(const std::vector<std::string>& args, std::ostream& err)
{
    std::string input;
    std::string output;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--output" || a == "-o") {
            if (i + 1 >= args.size())
                return usage(err, "--output needs a file name");
            if (!output.empty())
                return usage(err, "--output given twice");
            output = args[++i];
        } else if (a.rfind("--output=", 0) == 0) {
            output = a.substr(9);
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return usage(err, "unknown option " + a);
        } else if (input.empty()) {
            input = a;
        } else {
            return usage(err, "more than one project given");
        }
    }
    if (input.empty())
        return usage(err, "no project given");
    if (output.empty())
        return usage(err, "no --output given");

    CommandProject held;
    TMainTreeList& project = *held;
    const LoadResult loaded = project.ReadProjectFile(input);
    // A mistyped input name must not turn into an empty project written over the output.
    if (loaded.Unreadable) {
        err << "ormelit-cli: cannot read " << input << ": " << unreadableReason(input) << "\n";
        return kBadProject;
    }
    if (!loaded.Ok)
        err << "Не верный формат проекта!\n";
    if (loaded.CutOff)
        err << CutOffWarning(input) << "\n";
    project.SetFileName(output);
    std::string reason;
    if (!project.WriteProjectFile(&reason)) {
        err << "ormelit-cli: cannot write " << output << ": " << reason << "\n";
        return kCannotWrite;
    }
    return loaded.Ok ? kOk : kBadProject;
}

}  // namespace

int UsageError(std::ostream& err, const std::string& problem, const char* usage)
{
    err << "ormelit-cli: " << problem << "\n" << "Usage:\n" << usage;
    return kUsage;
}

void LeaveProjectsToProcessExit(bool leave)
{
    g_leaveProjects = leave;
}

CommandProject::CommandProject() : m_project(std::make_unique<TMainTreeList>()) {}

CommandProject::~CommandProject()
{
    if (!g_leaveProjects)
        return;
    delete g_leftProject;
    g_leftProject = m_project.release();
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        printUsage(out);
        return kOk;
    }
    if (command == "--version") {
        out << "ormelit-cli " << ORMELIT_VERSION << "\n";
        return kOk;
    }
    if (command == "resave")
        return resave(args, err);
    if (command == "report")
        return RunReport(args, out, err);
    if (command == "organigram")
        return RunOrganigram(args, out, err);
    if (command == "publish")
        return RunPublish(args, out, err);
    if (command == "export-grid")
        return RunExportGrid(args, out, err);
    if (command == "import-grid")
        return RunImportGrid(args, out, err);
    if (command == "import-items")
        return RunImportItems(args, out, err);
    return usage(err, "unknown command " + command);
}

}  // namespace orm::cli
