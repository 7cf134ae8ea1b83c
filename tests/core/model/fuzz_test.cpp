// Random and mutated project files: the reader never crashes or hangs, and whatever it read
// (all of a good file, or the part before a fault) saves to a file that reads back the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/model/project.h"
#include "support/projectdump.h"

using namespace orm;

namespace {

const char* const kSeeds[] = {
    "0 P\r\n1 B\r\n1.1 a\r\n1.1.1 b\r\n1.2 c\r\n2 X\r\n2.1 p\r\n3 Y\r\n4 S\r\n4.1 u\r\n1.1\r\n"
    "2.1\r\n4.1.1 v\r\n1.2\r\n4.2 w\r\n",
    "0 \xCF\xF0\xEE\xE5\xEA\xF2\n1 \xC1\n1.1 \x98\xFF\n4 S\n4.1 u\n1.1\n",
    "0 X",
    "0 P\r2.1 a\r2.1.1 b\r4.1 c\r2.1.1\r2.1\r",
};

std::string randomLine(std::mt19937& rng)
{
    static const char* const pieces[] = {"0", "1", "2", "3", "4", "5", ".", "..", " ", "x",
                                         "1.1", "4.1", "9999", "-1", "\xFF", "\r", "\n", ""};
    std::string line;
    const int n = static_cast<int>(rng() % 6);
    for (int i = 0; i < n; ++i)
        line += pieces[rng() % std::size(pieces)];
    return line;
}

std::string mutate(std::string text, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        const size_t pos = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 5) {
        case 0:  // flip a byte
            if (!text.empty())
                text[pos % text.size()] = static_cast<char>(rng());
            break;
        case 1:  // delete a run
            if (!text.empty())
                text.erase(pos % text.size(), 1 + rng() % 8);
            break;
        case 2:  // insert random bytes
            for (int i = static_cast<int>(rng() % 6); i > 0; --i)
                text.insert(text.begin() + static_cast<long>(std::min(pos, text.size())),
                            static_cast<char>(rng()));
            break;
        case 3:  // insert a plausible line
            text.insert(std::min(pos, text.size()), randomLine(rng) + "\r\n");
            break;
        case 4:  // duplicate a slice
            if (!text.empty()) {
                const size_t start = pos % text.size();
                text.insert(start, text.substr(start, 1 + rng() % 20));
            }
            break;
        }
    }
    return text;
}

void checkRoundTrip(const std::string& bytes)
{
    TMainTreeList project;
    project.ReadProjectText(bytes);
    const std::string saved = project.ProjectFileText();
    TMainTreeList again;
    const LoadResult result = again.ReadProjectText(saved);
    ASSERT_TRUE(result.Ok) << result.Fault;
    ASSERT_EQ(test::DumpProject(again), test::DumpProject(project));
    ASSERT_EQ(again.ProjectFileText(), saved);
}

}  // namespace

TEST(ProjectFuzz, MutatedFilesNeverBreakTheReader)
{
    std::mt19937 rng(20261207);
    for (int round = 0; round < 3000; ++round) {
        std::string text = kSeeds[round % std::size(kSeeds)];
        const int generations = 1 + static_cast<int>(rng() % 3);
        for (int g = 0; g < generations; ++g)
            text = mutate(text, rng);
        SCOPED_TRACE(round);
        checkRoundTrip(text);
        if (HasFatalFailure())
            return;
    }
}

TEST(ProjectFuzz, RandomBytesAndRandomLines)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        if (round % 2 == 0) {
            text.resize(rng() % 200);
            for (char& ch : text)
                ch = static_cast<char>(rng());
        } else {
            text = "0 P\r\n";
            for (int i = static_cast<int>(rng() % 30); i > 0; --i)
                text += randomLine(rng) + "\r\n";
        }
        SCOPED_TRACE(round);
        checkRoundTrip(text);
        if (HasFatalFailure())
            return;
    }
}
