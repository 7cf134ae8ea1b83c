// Start-up as a user sees it: the real ormelit process from its start to the moment its event
// loop first has nothing to do (the main window shown and painted), against a bare Qt 6 MDI
// window started the same way. Both run on the offscreen platform (QT_QPA_PLATFORM may name
// another), with a library loaded through LD_PRELOAD that quits them when they are first idle,
// and with folders of their own for the settings, the state and the instance socket. The runs
// alternate, so both see the same machine; the counters are medians, in milliseconds, of the
// wall time and of the processor time the process took, and their ratios.
//
//   bench_launch [benchmark flags]
//   ORMELIT_PROGRAM=/other/ormelit bench_launch     another build of the program, to compare

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Run {
    double wall = 0;  // ms
    double cpu = 0;   // ms, user and system
    bool ok = false;
};

std::string programPath()
{
    const char* other = std::getenv("ORMELIT_PROGRAM");
    return other && *other ? other : ORMELIT_PROGRAM_PATH;
}

// The environment of the runs: this one's, with the hook, the platform and private folders.
std::vector<std::string> runEnvironment()
{
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("ormelit-launch-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home / "runtime");
    std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
    const std::vector<std::pair<std::string, std::string>> set = {
        {"LD_PRELOAD", QUIT_WHEN_IDLE_PATH},
        {"XDG_RUNTIME_DIR", (home / "runtime").string()},
        {"XDG_STATE_HOME", (home / "state").string()},
        {"XDG_CONFIG_HOME", (home / "config").string()},
    };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (std::none_of(set.begin(), set.end(), [&](const auto& s) { return s.first == name; }))
            env.push_back(entry);
    }
    for (const auto& [name, value] : set)
        env.push_back(name + "=" + value);
    if (!std::getenv("QT_QPA_PLATFORM"))
        env.push_back("QT_QPA_PLATFORM=offscreen");
    return env;
}

// One start to the first idle moment; a program that is not idle within 30 s is stopped.
Run launch(const std::string& program, const std::vector<std::string>& env)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return run;
    int status = 0;
    struct rusage usage{};
    while (true) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return run;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) {
            ::kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return run;
        }
        ::usleep(200);
    }
    run.wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
    run.cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_StartupToIdle(benchmark::State& state)
{
    const std::vector<std::string> env = runEnvironment();
    const std::string program = programPath();
    std::vector<double> wall[2];
    std::vector<double> cpu[2];
    // One start of each first: the files they read are then cached for both alike.
    launch(BARE_MDI_PATH, env);
    launch(program, env);
    for (auto _ : state) {
        const Run bare = launch(BARE_MDI_PATH, env);
        const Run ours = launch(program, env);
        if (!bare.ok || !ours.ok) {
            state.SkipWithError(bare.ok ? "ormelit did not quit when idle"
                                        : "the bare window did not quit when idle");
            return;
        }
        state.SetIterationTime(ours.wall / 1e3);
        wall[0].push_back(bare.wall);
        wall[1].push_back(ours.wall);
        cpu[0].push_back(bare.cpu);
        cpu[1].push_back(ours.cpu);
    }
    state.counters["bare_ms"] = median(wall[0]);
    state.counters["ormelit_ms"] = median(wall[1]);
    state.counters["ratio"] = median(wall[1]) / median(wall[0]);
    state.counters["bare_cpu_ms"] = median(cpu[0]);
    state.counters["ormelit_cpu_ms"] = median(cpu[1]);
    state.counters["cpu_ratio"] = median(cpu[1]) / median(cpu[0]);
}

}  // namespace

BENCHMARK(BM_StartupToIdle)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
