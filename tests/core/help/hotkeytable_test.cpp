#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/help/hotkeytable.h"

namespace orm {
namespace {

constexpr int kF1 = 112, kF2 = 113, kF3 = 114, kShift = 1;

std::vector<int> keys(const HotKeyTable& table)
{
    std::vector<int> out;
    for (const auto& e : table.Entries())
        out.push_back(e.Key);
    return out;
}

TEST(HotKeyTable, ReplaceRemoveAndReuseSlots)
{
    HotKeyTable table;
    std::string called;
    const auto note = [&](std::string name) {
        return [&called, name](int, int) { called += name; };
    };
    table.Add(kF1, 0, note("old"));
    table.Add(kF1, 0, note("new"));
    table.Add(kF2, 0, note("b"));
    table.Add(kF3, 0, note("c"));
    EXPECT_EQ(keys(table), (std::vector<int>{kF1, kF2, kF3}));
    EXPECT_TRUE(table.Dispatch(kF1, 0));
    EXPECT_EQ(called, "new");

    table.Add(kF2, 0, nullptr);
    table.Add(kF2, kShift, nullptr);  // not there: nothing changes
    EXPECT_EQ(keys(table), (std::vector<int>{kF1, 0, kF3}));
    EXPECT_FALSE(table.Dispatch(kF2, 0));
    table.Add(kF2, kShift, note("d"));
    table.Add(kF2, 0, note("e"));
    EXPECT_EQ(keys(table), (std::vector<int>{kF1, kF2, kF3, kF2}));
    // Key and modifiers must both match; unmatched keys are left to others.
    EXPECT_TRUE(table.Dispatch(kF2, kShift));
    EXPECT_FALSE(table.Dispatch(kF3, kShift));
    EXPECT_EQ(called, "newd");
}

TEST(HotKeyTable, HandlerMayChangeTheTableWhileItRuns)
{
    // Removing its own entry, then growing the table, must not pull the running handler away.
    HotKeyTable table;
    int calls = 0;
    table.Add(kF1, 0, [&](int key, int) {
        table.Add(key, 0, nullptr);
        for (int k = 1; k <= 40; ++k)
            table.Add(1000 + k, 0, [](int, int) {});
        ++calls;
    });
    EXPECT_TRUE(table.Dispatch(kF1, 0));
    EXPECT_FALSE(table.Dispatch(kF1, 0));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(table.Entries().size(), 40u);
}

}  // namespace
}  // namespace orm
