// Start-up with a large settings file: the start-up reads of the settings and the main window
// with its extra menu, for settings files of 0 to 3 000 EXTRAMENU sections.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "gui/kit/appcontext.h"

using namespace orm;

namespace {

// A settings file in the form users write: the usual sections, then `sections` extra menu
// items spread over the first menus (each inserted at the top, so every position fits).
const std::string& settingsFile(int sections)
{
    static std::map<int, std::string> files;
    auto it = files.find(sections);
    if (it != files.end())
        return it->second;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("ormelit-bench-" + std::to_string(sections) + ".INI"))
                                 .string();
    std::string text =
        "[GRIDS]\r\nUSE_HINT=True\r\nSELECT_UNBIND=False\r\n[REPORTS]\r\nOUTFILE_FORMAT=RTF\r\n"
        "[APPLICATION]\r\nFONT_NAME=Arial\r\nFONT_SIZE=9\r\n[TITLE]\r\nTIME=0\r\n";
    for (int n = 1; n <= sections; ++n) {
        const std::string k = std::to_string(n);
        text += "[EXTRAMENU" + k + "]\r\nNAME=Program " + k + "\r\nPOSITION=" +
                std::to_string(1 + n % 3) + ".1\r\nFILE=/opt/tools/tool" + k +
                "\r\nPARAM=--document report" + k + ".txt\r\nCATALOG=/srv/work/folder" + k +
                "\r\n";
    }
    std::ofstream(path, std::ios::binary) << text;
    return files.emplace(sections, path).first->second;
}

void BM_StartupWithExtraMenu(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    const std::string& ini = settingsFile(sections);
    // The executable's settings file is its own name with ".INI".
    const std::string executable = ini.substr(0, ini.size() - 4);
    for (auto _ : state) {
        AppContext context;
        LoadStartupSettings(context, executable);
        MainWindow window(context);
        benchmark::DoNotOptimize(window.menuBar());
        state.PauseTiming();
        if (context.Settings.SettingsFileName != ini)
            state.SkipWithError("the settings file was not the generated one");
        state.ResumeTiming();
    }
    state.counters["bytes"] =
        static_cast<double>(std::filesystem::file_size(ini));
}

}  // namespace

BENCHMARK(BM_StartupWithExtraMenu)
    ->Arg(0)
    ->Arg(300)
    ->Arg(1000)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond);
