#include "kx/clientbox/Buffer.h"

#include <gtest/gtest.h>

#include "ChainBytes.h"

namespace {

using kx::clientbox::Buffer;
using kx::common::SharedPtr;
using kx::testing::ChainBytes;
using kx::testing::MakeChain;
using kx::testing::Pattern;

TEST(BufferTest, NewBufferIsFillingEmptyAndFilledWithAA) {
    SharedPtr<Buffer> buffer(new Buffer);
    EXPECT_EQ(buffer->GetMode(), Buffer::kFilling);
    EXPECT_EQ(buffer->Remaining(), Buffer::kSize);
    unsigned char* region;
    ASSERT_EQ(buffer->GetWriteRegion(&region), Buffer::kSize);
    for (unsigned i = 0; i < Buffer::kSize; ++i) ASSERT_EQ(region[i], 0xAA) << i;
    EXPECT_FALSE(buffer->GetNext());
}

TEST(BufferTest, WriteTakesOnlyTheFreeSpaceAndUnwriteGivesBack) {
    SharedPtr<Buffer> buffer(new Buffer);
    const std::vector<unsigned char> bytes = Pattern(5000);
    EXPECT_EQ(buffer->Write(bytes.data(), 4000), 4000u);
    EXPECT_EQ(buffer->Write(bytes.data() + 4000, 1000), 96u);
    EXPECT_EQ(buffer->Remaining(), 0u);
    buffer->Unwrite(96);
    EXPECT_EQ(buffer->Remaining(), 96u);
    // A null source commits bytes placed in the free region directly.
    unsigned char* region;
    ASSERT_EQ(buffer->GetWriteRegion(&region), 96u);
    region[0] = 0x42;
    EXPECT_EQ(buffer->Write(nullptr, 1), 1u);
    buffer->Seal();
    const unsigned char* read;
    ASSERT_EQ(buffer->GetReadRegion(&read), 4001u);
    EXPECT_EQ(read[3999], bytes[3999]);
    EXPECT_EQ(read[4000], 0x42);
}

TEST(BufferTest, ReadPeeksConsumesAndStopsAtTheFilledBytes) {
    SharedPtr<Buffer> chain = MakeChain({10});
    unsigned char out[16] = {};
    EXPECT_EQ(chain->Read(out, 4, true), 4u);
    EXPECT_EQ(chain->Remaining(), 10u);
    EXPECT_EQ(chain->Read(nullptr, 3, false), 3u);
    EXPECT_EQ(chain->Read(out, 16, false), 7u);
    EXPECT_EQ(out[0], Pattern(10)[3]);
    EXPECT_EQ(chain->Remaining(), 0u);
    EXPECT_EQ(chain->Read(out, 1, false), 0u);
}

TEST(BufferTest, SealSealsTheWholeRestOfTheChain) {
    SharedPtr<Buffer> first(new Buffer);
    SharedPtr<Buffer> second(new Buffer);
    first->SetNext(second);
    first->Seal();
    EXPECT_EQ(first->GetMode(), Buffer::kSealed);
    EXPECT_EQ(second->GetMode(), Buffer::kSealed);
}

TEST(BufferDeathTest, ModeAndCountPreconditionsStopTheProcess) {
    SharedPtr<Buffer> sealed = MakeChain({1});
    SharedPtr<Buffer> filling(new Buffer);
    EXPECT_DEATH(sealed->SetNext(filling), "");
    EXPECT_DEATH(filling->Unwrite(1), "");
    EXPECT_DEATH(sealed->Write("x", 1), "");
    const unsigned char* region;
    EXPECT_DEATH(filling->GetReadRegion(&region), "");
}

TEST(BufferTest, ReleasingTheFirstBufferReleasesTheChainAndReusesPoolBlocks) {
    const unsigned before = Buffer::GetHeapBlockCount();
    { SharedPtr<Buffer> chain = MakeChain({1, 1, 1, 1}); }
    const unsigned afterFirst = Buffer::GetHeapBlockCount();
    { SharedPtr<Buffer> chain = MakeChain({1, 1, 1, 1}); }
    EXPECT_LE(afterFirst - before, 4u);
    EXPECT_EQ(Buffer::GetHeapBlockCount(), afterFirst);
}

TEST(BufferTest, ReleasingTheHeadKeepsALinkThatIsHeldElsewhere) {
    SharedPtr<Buffer> chain = MakeChain({1, 2, 3});
    SharedPtr<Buffer> middle = chain->GetNext();
    chain.Reset();
    const std::vector<unsigned char> all = Pattern(6);
    EXPECT_EQ(ChainBytes(middle), std::vector<unsigned char>(all.begin() + 1, all.end()));
}

}  // namespace
