#include "kx/devlauncher/ReadParts.h"

#include <gtest/gtest.h>

namespace kx {
namespace devlauncher {
namespace {

// Checks the invariants every split must keep: parts in order, contiguous from request offset
// 0, inside the requested range and the savegame, exactly one last part at the end.
void ExpectWellFormed(const std::vector<ReadPart>& parts, std::uint32_t size, std::uint32_t offset,
                      std::uint32_t numBytes) {
    ASSERT_FALSE(parts.empty());
    std::uint64_t next = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].requestOffset, next);
        EXPECT_EQ(parts[i].savegameOffset, std::uint64_t{offset} + next);
        EXPECT_LE(std::uint64_t{parts[i].requestOffset} + parts[i].size, numBytes);
        if (parts[i].size > 0) {
            EXPECT_LE(std::uint64_t{parts[i].savegameOffset} + parts[i].size, size);
        }
        EXPECT_EQ(parts[i].last, i + 1 == parts.size());
        next += parts[i].size;
    }
}

TEST(ReadPartsTest, SplitsIntoFullPartsAndARemainder) {
    const auto parts = SplitRead(10000, 0, 2500, 1000);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].size, 1000u);
    EXPECT_EQ(parts[1].requestOffset, 1000u);
    EXPECT_EQ(parts[2].requestOffset, 2000u);
    EXPECT_EQ(parts[2].size, 500u);
    ExpectWellFormed(parts, 10000, 0, 2500);
}

TEST(ReadPartsTest, RequestOffsetCountsFromTheStartOfTheRange) {
    const auto parts = SplitRead(10000, 4000, 3000, 2000);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].savegameOffset, 4000u);
    EXPECT_EQ(parts[0].requestOffset, 0u);
    EXPECT_EQ(parts[1].savegameOffset, 6000u);
    EXPECT_EQ(parts[1].requestOffset, 2000u);
    ExpectWellFormed(parts, 10000, 4000, 3000);
}

TEST(ReadPartsTest, ExactMultipleHasNoEmptyTrailingPart) {
    const auto parts = SplitRead(4096, 0, 4096, 1024);
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts.back().size, 1024u);
    EXPECT_TRUE(parts.back().last);
}

TEST(ReadPartsTest, RangePastTheEndYieldsWhatExists) {
    const auto parts = SplitRead(1500, 1000, 5000, 64 * 1024);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].size, 500u);
    EXPECT_TRUE(parts[0].last);
}

TEST(ReadPartsTest, NothingToReadStillEndsTheRead) {
    for (const auto& parts : {SplitRead(100, 100, 10, 64), SplitRead(100, 5000, 10, 64),
                              SplitRead(100, 0, 0, 64), SplitRead(0, 0, 100, 64)}) {
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_EQ(parts[0].size, 0u);
        EXPECT_EQ(parts[0].requestOffset, 0u);
        EXPECT_TRUE(parts[0].last);
    }
}

TEST(ReadPartsTest, NoOverflowAtTheTopOfTheOffsetRange) {
    const std::uint32_t top = 0xFFFFFFFFu;
    const auto parts = SplitRead(top, top - 10, top, 4);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[2].savegameOffset, top - 2);
    EXPECT_EQ(parts[2].size, 2u);
    ExpectWellFormed(parts, top, top - 10, top);
}

TEST(ReadPartsTest, PartSizeOfOneByte) {
    const auto parts = SplitRead(5, 1, 3, 1);
    ASSERT_EQ(parts.size(), 3u);
    ExpectWellFormed(parts, 5, 1, 3);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
