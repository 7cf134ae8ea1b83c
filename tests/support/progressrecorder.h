#pragma once

// A progress that keeps every call and answers "cancel" at a chosen one.

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "core/io/progress.h"

namespace orm::test {

struct ProgressRecorder {
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    size_t cancelAt = 0;  // counted from 1; 0: never

    Progress Callback()
    {
        return [this](uint64_t done, uint64_t total) {
            calls.emplace_back(done, total);
            return calls.size() != cancelAt;
        };
    }
    // done never goes down nor past total, and the last call says the whole is done.
    void ExpectClimbsTo(uint64_t whole) const
    {
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_LE(calls[i].first, calls[i].second) << i;
            EXPECT_GE(calls[i].first, i > 0 ? calls[i - 1].first : 0) << i;
        }
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), std::make_pair(whole, whole));
    }
};

}  // namespace orm::test
