#include "shared/PeerContract.h"

#include <gtest/gtest.h>

#include "shared/SavegameImage.h"

namespace kx {
namespace bench {
namespace {

TEST(RawCommandTest, EncodesEachWordMostSignificantByteFirst) {
    RawCommand command;
    command.kind = RawCommand::kPingPong;
    command.total = 0x01020304;
    command.chunk = 0xA0B0C0D0;
    command.reply = 9;
    unsigned char encoded[RawCommand::kEncodedSize];
    command.Encode(encoded);
    const unsigned char expected[RawCommand::kEncodedSize] = {0,    0,    0,    3,    1, 2, 3, 4,
                                                              0xA0, 0xB0, 0xC0, 0xD0, 0, 0, 0, 9};
    EXPECT_EQ(0, memcmp(expected, encoded, sizeof(expected)));

    const RawCommand decoded = RawCommand::Decode(encoded);
    EXPECT_EQ(command.kind, decoded.kind);
    EXPECT_EQ(command.total, decoded.total);
    EXPECT_EQ(command.chunk, decoded.chunk);
    EXPECT_EQ(command.reply, decoded.reply);
}

TEST(PeerContractTest, SlotNamesThePartSizeInKibibytes) {
    EXPECT_EQ(64u * 1024, PartSizeOfSlot(64));
    EXPECT_EQ(1024u, SlotOfPartSize(1024 * 1024));
    EXPECT_EQ(65536u, PartSizeOfSlot(SlotOfPartSize(65536)));
}

TEST(SavegameImageTest, MisplacedBytesShow) {
    unsigned char data[3 * 4096];
    FillSavegame(data, 4096, sizeof(data));
    EXPECT_EQ(sizeof(data), MatchingSavegamePrefix(data, 4096, sizeof(data)));
    // The same bytes one position off, or one page off, do not match.
    EXPECT_EQ(0u, MatchingSavegamePrefix(data, 4097, 100));
    EXPECT_EQ(0u, MatchingSavegamePrefix(data, 0, 100));
    data[5000] ^= 1;
    EXPECT_EQ(5000u, MatchingSavegamePrefix(data, 4096, sizeof(data)));
}

TEST(SavegameImageTest, PagesDiffer) {
    // Page-sized parts swapped must show, so no two neighbouring pages may be equal.
    unsigned char page[4096];
    unsigned char next[4096];
    FillSavegame(page, 0, sizeof(page));
    FillSavegame(next, 4096, sizeof(next));
    EXPECT_NE(0, memcmp(page, next, sizeof(page)));
}

}  // namespace
}  // namespace bench
}  // namespace kx
