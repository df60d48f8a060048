#include "kx/clientbox/OutgoingChains.h"

#include <gtest/gtest.h>

#include <vector>

#include "ChainBytes.h"

namespace kx {
namespace testing {
namespace {

using clientbox::OutgoingChains;

std::vector<unsigned> BufferSizes(const SharedPtr<Buffer>& chain) {
    std::vector<unsigned> sizes;
    for (const Buffer* buffer = chain.Get(); buffer != nullptr; buffer = buffer->GetNext().Get()) {
        sizes.push_back(buffer->Remaining());
    }
    return sizes;
}

// Small chains share a unit with the small ones behind them; a large chain is a unit of its
// own, and the order of the bytes never changes.
TEST(OutgoingChainsTest, LargeChainsAreUnitsOfTheirOwnAndSmallOnesAreGathered) {
    // kOwnWriteBytes exactly is still small; one byte more is large.
    const std::vector<unsigned> limit(OutgoingChains::kOwnWriteBytes / Buffer::kSize,
                                      Buffer::kSize);
    std::vector<unsigned> aboveLimit = limit;
    aboveLimit.push_back(1);
    OutgoingChains chains;
    const SharedPtr<Buffer> large = MakeChain(aboveLimit, 3);
    chains.Push(MakeChain({4}, 1));
    chains.Push(MakeChain({Buffer::kSize, 100}, 2));
    chains.Push(large);
    chains.Push(MakeChain(limit, 4));
    chains.Push(MakeChain({7}, 5));
    chains.Push(MakeChain({8}, 6));

    EXPECT_EQ(BufferSizes(chains.TakeNext()), (std::vector<unsigned>{4, Buffer::kSize, 100}));
    const SharedPtr<Buffer> alone = chains.TakeNext();
    EXPECT_EQ(alone.Get(), large.Get());
    EXPECT_EQ(BufferSizes(alone), aboveLimit);
    std::vector<unsigned> gathered = limit;
    gathered.push_back(7);
    gathered.push_back(8);
    EXPECT_EQ(BufferSizes(chains.TakeNext()), gathered);
    EXPECT_TRUE(chains.IsEmpty());
}

}  // namespace
}  // namespace testing
}  // namespace kx
