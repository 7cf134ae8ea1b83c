// Every input the fuzzers ever found a fault with (tests/data/fuzz/<target>/) and every seed of
// every target goes through its target again: a fault once fixed stays fixed, and the writers'
// own output keeps its round trips. A hang shows as the test's timeout.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "fuzz/fuzztargets.h"

using namespace orm::fuzz;

namespace {

const std::filesystem::path kKept = std::filesystem::path(ORMELIT_TEST_DATA) / "fuzz";

class FuzzReplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetFailureHandler([](const char* what) { ADD_FAILURE() << what; });
    }
    void TearDown() override { SetFailureHandler(nullptr); }

    static void run(const Target& target, const std::string& bytes)
    {
        target.Run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
};

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(FuzzReplay, KeptInputsOfEveryTarget)
{
    // Inputs of the faults found before the fuzzers existed are kept here too, one per fault.
    std::set<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(kKept))
        folders.insert(entry.path().filename().string());
    int replayed = 0;
    for (const Target& target : Targets()) {
        folders.erase(target.Name);
        const auto folder = kKept / target.Name;
        if (!std::filesystem::is_directory(folder))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().filename() == "README")
                continue;
            SCOPED_TRACE(entry.path().string());
            run(target, readFile(entry.path()));
            ++replayed;
        }
    }
    // The help window's input is replayed by the help window's own test.
    folders.erase("help-window");
    EXPECT_TRUE(folders.empty()) << "a folder no target reads: " << *folders.begin();
    EXPECT_GT(replayed, 0);
}

TEST_F(FuzzReplay, SeedsOfEveryTargetKeepTheirPromises)
{
    for (const Target& target : Targets()) {
        const std::vector<Seed> seeds = Seeds(target.Name);
        // A writer that stopped writing would leave the fuzzer without a start.
        EXPECT_GE(seeds.size(), 3u) << target.Name;
        for (const Seed& seed : seeds) {
            SCOPED_TRACE(std::string(target.Name) + "/" + seed.Name);
            EXPECT_FALSE(seed.Bytes.empty());
            run(target, seed.Bytes);
        }
    }
}
