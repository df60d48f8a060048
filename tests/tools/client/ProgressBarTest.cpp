#include "kx/halyxclient/ProgressBar.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kx {
namespace halyxclient {
namespace {

TEST(ProgressBarTest, LineShowsShareAndSizes) {
    EXPECT_EQ(ProgressLine(0, 8u << 20, 10), "[..........]   0%    0.0/8.0 MiB");
    EXPECT_EQ(ProgressLine(4u << 20, 8u << 20, 10), "[#####.....]  50%    4.0/8.0 MiB");
    EXPECT_EQ(ProgressLine(8u << 20, 8u << 20, 10), "[##########] 100%    8.0/8.0 MiB");
    EXPECT_EQ(ProgressLine(0, 0, 4), "[####] 100%    0.0/0.0 MiB");
}

TEST(ProgressBarTest, OnlyLargeTransfersDrawOnePerPercent) {
    std::ostringstream small;
    {
        ProgressBar bar(small, kProgressThreshold);
        bar.Update(kProgressThreshold);
    }
    EXPECT_EQ(small.str(), "");

    std::ostringstream large;
    {
        ProgressBar bar(large, 100u << 20);
        for (std::uint64_t done = 0; done <= (100u << 20); done += 256 * 1024) {
            bar.Update(done);
        }
    }
    const std::string drawn = large.str();
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 101);
    EXPECT_EQ(drawn.back(), '\n');
}

}  // namespace
}  // namespace halyxclient
}  // namespace kx
