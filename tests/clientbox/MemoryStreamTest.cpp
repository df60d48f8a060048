#include "kx/clientbox/MemoryStream.h"

#include <gtest/gtest.h>

#include <vector>

#include "ChainBytes.h"

namespace {

using kx::clientbox::Buffer;
using kx::clientbox::MemoryStream;
using kx::common::SharedPtr;
using kx::testing::ChainBytes;
using kx::testing::MakeChain;
using kx::testing::Pattern;

TEST(MemoryStreamTest, NewStreamIsEmpty) {
    MemoryStream stream;
    EXPECT_EQ(stream.GetSize(), 0u);
    const unsigned char* region;
    EXPECT_EQ(stream.GetReadRegion(&region), 0u);
    EXPECT_FALSE(stream.TakeAll());
}

TEST(MemoryStreamTest, ReadAcrossBuffersLeavesHeadAtTheLastBufferTouched) {
    MemoryStream stream;
    stream.Append(MakeChain({10}));
    stream.Append(MakeChain({4096}, 2));
    stream.Append(MakeChain({1}, 3));
    EXPECT_EQ(stream.GetSize(), 4107u);

    std::vector<unsigned char> out(4100);
    EXPECT_EQ(stream.Read(out.data(), 4100), 4100u);
    std::vector<unsigned char> expected = Pattern(10);
    const std::vector<unsigned char> second = Pattern(4096, 2);
    expected.insert(expected.end(), second.begin(), second.begin() + 4090);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(stream.GetSize(), 7u);

    const unsigned char* region;
    ASSERT_EQ(stream.GetReadRegion(&region), 6u);
    EXPECT_EQ(region[0], second[4090]);
}

TEST(MemoryStreamTest, PeekKeepsTheBytesAndSkipPastTheEndReportsWhatWasThere) {
    MemoryStream stream;
    stream.Append(MakeChain({3, 5}));
    unsigned char out[8];
    EXPECT_EQ(stream.Peek(out, 6), 6u);
    EXPECT_EQ(stream.GetSize(), 8u);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 6), Pattern(6));
    EXPECT_EQ(stream.Skip(100), 8u);
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_EQ(stream.Read(out, 1), 0u);
}

TEST(MemoryStreamTest, TakeAllHandsOverOnlyUnreadBytesAndEmptiesTheStream) {
    MemoryStream stream;
    stream.Append(MakeChain({4, 6}));
    stream.Append(MakeChain({2}, 9));
    EXPECT_EQ(stream.Skip(5), 5u);
    SharedPtr<Buffer> taken = stream.TakeAll();
    ASSERT_TRUE(taken);
    const std::vector<unsigned char> firstTwo = Pattern(10);
    std::vector<unsigned char> expected(firstTwo.begin() + 5, firstTwo.end());
    const std::vector<unsigned char> third = Pattern(2, 9);
    expected.insert(expected.end(), third.begin(), third.end());
    EXPECT_EQ(ChainBytes(taken), expected);
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_FALSE(stream.TakeAll());

    // The stream keeps working after TakeAll.
    stream.Append(MakeChain({1}));
    EXPECT_EQ(stream.GetSize(), 1u);
}

TEST(MemoryStreamTest, TakeAllOfFullyReadStreamIsEmpty) {
    MemoryStream stream;
    stream.Append(MakeChain({4, 4}));
    stream.Skip(8);
    EXPECT_FALSE(stream.TakeAll());
}

TEST(MemoryStreamTest, WriteCopiesIntoNewBuffersBehindTheTail) {
    MemoryStream stream;
    stream.Append(MakeChain({1}, 5));
    const std::vector<unsigned char> bytes = Pattern(9000, 6);
    EXPECT_EQ(stream.Write(bytes.data(), 9000), 9000u);
    EXPECT_EQ(stream.GetSize(), 9001u);
    SharedPtr<Buffer> chain = stream.TakeAll();
    // One pre-existing byte, then 4096 + 4096 + 808 in fresh buffers.
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->Remaining(), 1u);
    EXPECT_EQ(chain->GetNext()->Remaining(), 4096u);
    EXPECT_EQ(chain->GetNext()->GetNext()->GetNext()->Remaining(), 808u);
    std::vector<unsigned char> all = ChainBytes(chain);
    EXPECT_EQ(std::vector<unsigned char>(all.begin() + 1, all.end()), bytes);
}

TEST(MemoryStreamTest, RewindReturnsToTheMarkAcrossBuffers) {
    MemoryStream stream;
    stream.Append(MakeChain({5, 5, 5}));
    stream.Skip(3);
    stream.Mark();
    EXPECT_EQ(stream.Skip(9), 9u);
    EXPECT_EQ(stream.GetSize(), 3u);
    stream.Rewind();
    EXPECT_EQ(stream.GetSize(), 12u);
    unsigned char out[12];
    EXPECT_EQ(stream.Read(out, 12), 12u);
    const std::vector<unsigned char> all = Pattern(15);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 12),
              std::vector<unsigned char>(all.begin() + 3, all.end()));
}

// Also: bytes read from a chain before it was appended stay gone, even across a rewind.
TEST(MemoryStreamTest, SizeFollowsAppendsBetweenMarkAndRewindAndRepeatedRewinds) {
    MemoryStream stream;
    SharedPtr<Buffer> partlyRead = MakeChain({10, 20});
    partlyRead->Read(nullptr, 4, false);
    stream.Append(partlyRead);
    EXPECT_EQ(stream.GetSize(), 26u);
    stream.Mark();
    EXPECT_EQ(stream.Skip(8), 8u);
    stream.Append(MakeChain({7}, 2));
    EXPECT_EQ(stream.GetSize(), 25u);
    stream.Rewind();
    EXPECT_EQ(stream.GetSize(), 33u);
    EXPECT_EQ(stream.Skip(5), 5u);
    // The mark stays: a second rewind goes back to it again.
    stream.Rewind();
    EXPECT_EQ(stream.GetSize(), 33u);
    unsigned char out[40];
    EXPECT_EQ(stream.Peek(out, 40), 33u);
    EXPECT_EQ(stream.GetSize(), 33u);
    const std::vector<unsigned char> first = Pattern(30);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 26),
              std::vector<unsigned char>(first.begin() + 4, first.end()));
    EXPECT_EQ(std::vector<unsigned char>(out + 26, out + 33), Pattern(7, 2));
    EXPECT_EQ(stream.Read(out, 40), 33u);
    EXPECT_EQ(stream.GetSize(), 0u);
    stream.Write("abc", 3);
    EXPECT_EQ(stream.GetSize(), 3u);
    EXPECT_TRUE(stream.TakeAll());
    EXPECT_EQ(stream.GetSize(), 0u);
}

TEST(MemoryStreamDeathTest, RewindWithoutMarkAndEmptyWriteStop) {
    MemoryStream stream;
    EXPECT_DEATH(stream.Rewind(), "");
    EXPECT_DEATH(stream.Write("x", 0), "");
}

}  // namespace
