// ormelit-fuzzseeds OUTDIR [TARGET...]: writes each target's seed inputs into OUTDIR/TARGET/.

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "fuzz/fuzztargets.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: ormelit-fuzzseeds OUTDIR [TARGET...]\n";
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<std::string> names;
    for (int i = 2; i < argc; ++i)
        names.emplace_back(argv[i]);
    if (names.empty())
        for (const orm::fuzz::Target& t : orm::fuzz::Targets())
            names.emplace_back(t.Name);
    for (const std::string& name : names) {
        if (!orm::fuzz::FindTarget(name)) {
            std::cerr << "ormelit-fuzzseeds: no target " << name << "\n";
            return 1;
        }
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / name;
        std::filesystem::create_directories(folder);
        for (const orm::fuzz::Seed& seed : orm::fuzz::Seeds(name)) {
            std::ofstream out(folder / seed.Name, std::ios::binary);
            out.write(seed.Bytes.data(), static_cast<std::streamsize>(seed.Bytes.size()));
            if (!out) {
                std::cerr << "ormelit-fuzzseeds: cannot write " << (folder / seed.Name) << "\n";
                return 1;
            }
        }
    }
    return 0;
}
