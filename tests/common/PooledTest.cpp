#include "kx/common/Pooled.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace {

using kx::common::Pooled;

struct Block : Pooled<Block> {
    char payload[48];
};

// Types used by one test each, so that their free lists start empty.
struct OtherBlock : Pooled<OtherBlock> {
    char payload[48];
};

struct FreshBlock : Pooled<FreshBlock> {
    char payload[16];
};

struct BatchedBlock : Pooled<BatchedBlock> {
    char payload[16];
};

// The address of a block, kept as a number so it can be compared after the block was freed.
template <typename T>
uintptr_t AddressOf(T* block) {
    return reinterpret_cast<uintptr_t>(block);
}

TEST(PooledTest, ReusesTheMostRecentlyFreedBlockFirst) {
    FreshBlock* blocks[3] = {new FreshBlock, new FreshBlock, new FreshBlock};
    const uintptr_t a = AddressOf(blocks[0]);
    const uintptr_t b = AddressOf(blocks[1]);
    const uintptr_t c = AddressOf(blocks[2]);
    EXPECT_EQ(FreshBlock::GetHeapBlockCount(), 3u);
    delete blocks[0];
    delete blocks[2];
    delete blocks[1];
    FreshBlock* again[3] = {new FreshBlock, new FreshBlock, new FreshBlock};
    EXPECT_EQ(AddressOf(again[0]), b);
    EXPECT_EQ(AddressOf(again[1]), c);
    EXPECT_EQ(AddressOf(again[2]), a);
    EXPECT_EQ(FreshBlock::GetHeapBlockCount(), 3u);
    // The free list is empty now: the next block comes from the heap.
    FreshBlock* fresh = new FreshBlock;
    EXPECT_EQ(FreshBlock::GetHeapBlockCount(), 4u);
    delete fresh;
    for (FreshBlock* block : again) delete block;
}

TEST(PooledTest, EachTypeHasItsOwnFreeList) {
    Block* block = new Block;
    const uintptr_t address = AddressOf(block);
    delete block;
    const unsigned otherBlocks = OtherBlock::GetHeapBlockCount();
    OtherBlock* other = new OtherBlock;
    EXPECT_NE(AddressOf(other), address);
    EXPECT_EQ(OtherBlock::GetHeapBlockCount(), otherBlocks + 1);
    delete other;
    block = new Block;
    EXPECT_EQ(AddressOf(block), address);
    delete block;
}

// A batch gives its thread the block it gave back last, and when it ends every block it held
// is back on the free list, for any thread.
TEST(PooledTest, ABatchHandsItsBlocksBackWhenItEnds) {
    std::vector<BatchedBlock*> blocks;
    for (int i = 0; i < 200; ++i) blocks.push_back(new BatchedBlock);
    const unsigned heapBlocks = BatchedBlock::GetHeapBlockCount();
    {
        BatchedBlock::Batch batch;
        // More than the batch holds: it drains to the free list on the way.
        for (BatchedBlock* block : blocks) delete block;
        BatchedBlock* again = new BatchedBlock;
        EXPECT_EQ(AddressOf(again), AddressOf(blocks.back()));
        {
            BatchedBlock::Batch inner;
            delete again;
            again = new BatchedBlock;
            EXPECT_EQ(AddressOf(again), AddressOf(blocks.back()));
        }
        delete again;
    }
    std::thread([] {
        std::vector<BatchedBlock*> taken;
        for (int i = 0; i < 200; ++i) taken.push_back(new BatchedBlock);
        for (BatchedBlock* block : taken) delete block;
    }).join();
    EXPECT_EQ(BatchedBlock::GetHeapBlockCount(), heapBlocks);
}

TEST(PooledTest, ConcurrentUseNeverHandsOutOneBlockTwice) {
    const int kThreads = 4;
    const int kRounds = 2000;
    std::vector<std::thread> threads;
    bool clean[kThreads] = {};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&clean, t] {
            // Half the threads pass their blocks through batches.
            std::unique_ptr<Block::Batch> batch(t % 2 != 0 ? new Block::Batch : nullptr);
            bool ok = true;
            for (int i = 0; i < kRounds; ++i) {
                Block* blocks[4];
                for (Block*& block : blocks) {
                    block = new Block;
                    block->payload[0] = static_cast<char>(t);
                }
                for (Block* block : blocks) {
                    ok = ok && block->payload[0] == static_cast<char>(t);
                    delete block;
                }
            }
            clean[t] = ok;
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (bool ok : clean) EXPECT_TRUE(ok);
    // Never more blocks than were alive at once and the most the two batches hold.
    EXPECT_LE(Block::GetHeapBlockCount(),
              static_cast<unsigned>(kThreads * 4 + 4 + 2 * Block::Batch::kCapacity));
}

}  // namespace
