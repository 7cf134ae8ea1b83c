// The batch tool as a user runs it: whole ormelit-cli processes that resave a generated project
// and write its report 1 (text and RTF), beside the floor of the same work, a process that
// copies lines (getline and a buffered write) of the project file and of the RTF report. Each
// run ends with the ratios between them per size, so they come from one run on a noisy machine,
// with each resave's and each RTF report's peak memory as a multiple of the project file's size.
// Resaves of chains nested 250 to 2 000 deep, and in-process figures of the project writer and
// the report generator alone come after.
//
//   bench_batch [benchmark flags]                 sizes 10^3..10^5
//   ORMELIT_BENCH_MAX_ITEMS=1000000 bench_batch   up to 10^6
//   ORMELIT_CLI=/other/ormelit-cli bench_batch     another build of the tool, to compare
//   bench_batch --raw-copy IN OUT                 the raw copy itself (what BM_RawLineCopy runs)

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "core/report/reportgen.h"
#include "projectgen.h"

extern char** environ;

using namespace orm;

namespace {

std::string tempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("ormelit-batch-" + name)).string();
}

const std::string& projectFile(int items)
{
    static std::map<int, std::string> files;
    auto it = files.find(items);
    if (it != files.end())
        return it->second;
    const std::string path = tempPath(std::to_string(items) + ".ovx");
    auto project = bench::GenerateProject(items);
    project->SetFileName(path);
    if (!project->WriteProjectFile()) {
        std::cerr << "cannot write " << path << "\n";
        std::exit(1);
    }
    return files.emplace(items, path).first->second;
}

std::string cliPath()
{
    const char* other = std::getenv("ORMELIT_CLI");
    return other && *other ? other : ORMELIT_CLI_PATH;
}

std::string selfPath()
{
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

// A chain of items nested depth deep in classifier 1 and, in classifier 4, one item linked to
// each of them: every line of the file names a deep number.
const std::string& deepChainFile(int depth)
{
    static std::map<int, std::string> files;
    auto it = files.find(depth);
    if (it != files.end())
        return it->second;
    const std::string path = tempPath("deep-" + std::to_string(depth) + ".ovx");
    std::ofstream out(path, std::ios::binary);
    out << "0 Deep\r\n1 B\r\n";
    std::string number = "1";
    std::vector<std::string> numbers;
    for (int i = 0; i < depth; ++i) {
        number += ".1";
        numbers.push_back(number);
        out << number << " Item " << i << "\r\n";
    }
    out << "4 S\r\n";
    for (int i = 0; i < depth; ++i)
        out << "4." << i + 1 << " Unit " << i << "\r\n" << numbers[static_cast<size_t>(i)] << "\r\n";
    return files.emplace(depth, path).first->second;
}

// Peak memory of the last process run, in bytes.
long g_lastPeakBytes = 0;

// Runs the program to its end; false unless it exits with 0.
bool runProcess(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    struct rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return false;
    }
    g_lastPeakBytes = usage.ru_maxrss * 1024L;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A child started from this process reports as its peak at least this process's own memory
// (the kernel counts the address space it was started in), so the peak is taken in a run of
// its own through a fresh copy of this program, which starts the tool and writes its peak to a
// file: --peak-of FILE PROGRAM ARGS.
long peakOf(const std::vector<std::string>& args)
{
    const std::string file = tempPath("peak.txt");
    std::vector<std::string> wrapped{selfPath(), "--peak-of", file};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    if (!runProcess(wrapped))
        return 0;
    long peak = 0;
    std::ifstream(file) >> peak;
    return peak;
}

int reportPeak(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 3, argv + argc);
    if (!runProcess(args))
        return 1;
    std::ofstream(argv[2]) << g_lastPeakBytes;
    return 0;
}

// Also gives the peak memory of the process as a multiple of the input file's size.
void runEach(benchmark::State& state, const std::vector<std::string>& args)
{
    for (auto _ : state) {
        if (!runProcess(args)) {
            state.SkipWithError("the process failed");
            return;
        }
    }
    const auto input = static_cast<double>(std::filesystem::file_size(args[2]));
    state.counters["peak/file"] = static_cast<double>(peakOf(args)) / input;
    state.SetComplexityN(state.range(0));
}

int rawCopy(const char* in, const char* out)
{
    std::ifstream input(in, std::ios::binary);
    std::ofstream output(out, std::ios::binary);
    std::string line;
    while (std::getline(input, line)) {
        output << line;
        if (!input.eof())
            output << '\n';
    }
    return input.bad() || !output ? 1 : 0;
}

void BM_RawLineCopy(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    runEach(state, {selfPath(), "--raw-copy", projectFile(items), tempPath("raw.ovx")});
}

void BM_Resave(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    runEach(state, {cliPath(), "resave", projectFile(items), "--output",
                    tempPath("resave.ovx")});
}

void BM_ResaveDeepChain(benchmark::State& state)
{
    const int depth = static_cast<int>(state.range(0));
    runEach(state, {cliPath(), "resave", deepChainFile(depth), "--output",
                    tempPath("deep-resave.ovx")});
}

void BM_ReportTxt(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    runEach(state, {cliPath(), "report", projectFile(items), "1", "--output",
                    tempPath("report.txt")});
}

void BM_ReportRtf(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    runEach(state, {cliPath(), "report", projectFile(items), "1", "--format", "rtf",
                    "--output", tempPath("report.rtf")});
}

// The floor of the RTF report: the same raw copy, of the report BM_ReportRtf just wrote.
void BM_RawReportCopy(benchmark::State& state)
{
    runEach(state, {selfPath(), "--raw-copy", tempPath("report.rtf"), tempPath("raw-report.rtf")});
}

TMainTreeList& loadedProject(int items)
{
    static std::map<int, std::unique_ptr<TMainTreeList>> projects;
    auto& p = projects[items];
    if (!p) {
        p = std::make_unique<TMainTreeList>();
        p->ReadProjectFile(projectFile(items));
    }
    return *p;
}

// The project writer alone: the file's text from a project in memory.
void BM_ProjectFileText(benchmark::State& state)
{
    TMainTreeList& project = loadedProject(static_cast<int>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = project.ProjectFileText();
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.SetComplexityN(state.range(0));
}

// The report generator alone: report range(1) of a project in memory, range(2) = RTF.
void BM_GenerateReport(benchmark::State& state)
{
    TMainTreeList& project = loadedProject(static_cast<int>(state.range(0)));
    const int n = static_cast<int>(state.range(1));
    const ReportOptions options{state.range(2) != 0, false};
    size_t bytes = 0;
    for (auto _ : state) {
        ReportOutcome out = GenerateReport(project, n, {}, options);
        bytes = out.Document.Bytes.size();
        benchmark::DoNotOptimize(out.Document.Bytes.data());
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// Console output as usual, and at the end the ratios of the whole-process figures.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                const std::string name = run.run_name.function_name + "/" + run.run_name.args;
                m_times[name] = run.GetAdjustedRealTime();
                const auto peak = run.counters.find("peak/file");
                if (peak != run.counters.end())
                    m_peaks[name] = peak->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%10s %14s %14s %14s %14s %14s %14s %14s\n", "items", "resave/raw",
                    "txt/resave", "rtf/resave", "resave growth", "peak/file", "rtf/raw rtf",
                    "rtf peak/file");
        double previous = 0;
        for (int items = 1000; items <= kMaxItems; items *= 10) {
            const std::string n = "/" + std::to_string(items);
            const double raw = time("BM_RawLineCopy" + n);
            const double resave = time("BM_Resave" + n);
            const double txt = time("BM_ReportTxt" + n);
            const double rtf = time("BM_ReportRtf" + n);
            const double rawRtf = time("BM_RawReportCopy" + n);
            if (resave <= 0)
                continue;
            std::printf("%10d %14.2f %14.2f %14.2f", items, raw > 0 ? resave / raw : 0,
                        txt / resave, rtf / resave);
            if (previous > 0)
                std::printf(" %13.1fx", resave / previous);
            else
                std::printf(" %14s", "");
            std::printf(" %14.2f %14.2f %14.2f\n", peak("BM_Resave" + n),
                        rawRtf > 0 ? rtf / rawRtf : 0, peak("BM_ReportRtf" + n));
            previous = resave;
        }
    }
    static inline int kMaxItems = 100000;

private:
    double time(const std::string& name) const
    {
        const auto it = m_times.find(name);
        return it == m_times.end() ? 0 : it->second;
    }
    double peak(const std::string& name) const
    {
        const auto it = m_peaks.find(name);
        return it == m_peaks.end() ? 0 : it->second;
    }
    std::map<std::string, double> m_times;
    std::map<std::string, double> m_peaks;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--raw-copy") == 0)
        return rawCopy(argv[2], argv[3]);
    if (argc > 3 && std::strcmp(argv[1], "--peak-of") == 0)
        return reportPeak(argc, argv);
    if (const char* max = std::getenv("ORMELIT_BENCH_MAX_ITEMS"))
        RatioReporter::kMaxItems = std::atoi(max);

    for (int items = 1000; items <= RatioReporter::kMaxItems; items *= 10) {
        using Fn = void (*)(benchmark::State&);
        const std::pair<const char*, Fn> whole[] = {{"BM_RawLineCopy", BM_RawLineCopy},
                                                    {"BM_Resave", BM_Resave},
                                                    {"BM_ReportTxt", BM_ReportTxt},
                                                    {"BM_ReportRtf", BM_ReportRtf},
                                                    {"BM_RawReportCopy", BM_RawReportCopy}};
        for (const auto& [name, fn] : whole)
            benchmark::RegisterBenchmark(name, fn)
                ->Arg(items)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
    }
    for (const int depth : {250, 500, 1000, 2000})
        benchmark::RegisterBenchmark("BM_ResaveDeepChain", BM_ResaveDeepChain)
            ->Arg(depth)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    for (int items = 1000; items <= RatioReporter::kMaxItems; items *= 10) {
        benchmark::RegisterBenchmark("BM_ProjectFileText", BM_ProjectFileText)
            ->Arg(items)
            ->Unit(benchmark::kMillisecond);
        for (const int n : {1, 5})
            benchmark::RegisterBenchmark("BM_GenerateReport", BM_GenerateReport)
                ->Args({items, n, 0})
                ->Args({items, n, 1})
                ->ArgNames({"items", "report", "rtf"})
                ->Unit(benchmark::kMillisecond);
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
