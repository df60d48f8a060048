#include "kx/clientbox/DropLog.h"

#include <gtest/gtest.h>

namespace {

using kx::clientbox::DropLog;

unsigned g_now = 0;
unsigned Now() {
    return g_now;
}

// A stream of dropped frames writes a line for each of the first few, then at most one line a
// second, which counts the drops since the line before.
TEST(DropLogTest, TheFirstDropsGetALineEachThenOneSummaryASecond) {
    g_now = 5000;
    DropLog log(&Now);
    for (unsigned i = 0; i < DropLog::kLinesInFull; ++i) EXPECT_TRUE(log.Record(5, "is bad"));
    unsigned lines = 0;
    for (unsigned i = 0; i < 10000; ++i) {
        g_now += 1;  // 10 s of drops, one a millisecond
        if (log.Record(5, "is bad")) {
            ++lines;
            EXPECT_EQ(log.GetUnreported(), 0u);
        }
    }
    EXPECT_EQ(lines, 10u);
    EXPECT_LT(log.GetUnreported(), DropLog::kSummaryIntervalMs);
}

}  // namespace
