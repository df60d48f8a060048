#include "game/Percentiles.h"

#include <gtest/gtest.h>

namespace kx {
namespace bench {
namespace {

TEST(PercentilesTest, NearestRank) {
    std::vector<double> samples;
    for (int i = 100; i >= 1; --i) samples.push_back(i);  // 1 to 100, reversed
    EXPECT_EQ(50, Percentile(&samples, 50));
    EXPECT_EQ(99, Percentile(&samples, 99));
    EXPECT_EQ(100, Percentile(&samples, 100));
    EXPECT_EQ(1, Percentile(&samples, 0));
    EXPECT_EQ(1, Percentile(&samples, 1));
}

TEST(PercentilesTest, FewSamples) {
    std::vector<double> none;
    EXPECT_EQ(0, Percentile(&none, 50));
    std::vector<double> one = {7};
    EXPECT_EQ(7, Percentile(&one, 99));
    // With 3 samples, p50 is the second and p99 the largest: the tail is not averaged away.
    std::vector<double> three = {30, 10, 20};
    EXPECT_EQ(20, Percentile(&three, 50));
    EXPECT_EQ(30, Percentile(&three, 99));
}

TEST(PercentilesTest, Median) {
    EXPECT_EQ(0, Median({}));
    EXPECT_EQ(3, Median({5, 3, 1}));
    EXPECT_EQ(2.5, Median({4, 1, 3, 2}));
}

}  // namespace
}  // namespace bench
}  // namespace kx
