#include "kx/common/HybridArray.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using kx::common::HybridArray;
using kx::common::IArray;

// Element with a constructor, a heap allocation and a live-instance count, so that a missed
// construction or destruction shows up in the count and under AddressSanitizer.
class Tracked {
public:
    static int live;

    Tracked() : value_(new int(0)) { ++live; }
    explicit Tracked(int value) : value_(new int(value)) { ++live; }
    Tracked(const Tracked& other) : value_(new int(*other.value_)) { ++live; }
    Tracked& operator=(const Tracked& other) {
        *value_ = *other.value_;
        return *this;
    }
    ~Tracked() {
        delete value_;
        --live;
    }

    int Get() const { return *value_; }
    bool operator==(const Tracked& other) const { return *value_ == *other.value_; }

private:
    int* value_;
};

int Tracked::live = 0;

class HybridArrayTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(Tracked::live, 0); }
};

template <unsigned N>
void Fill(HybridArray<Tracked, N>& array, int count) {
    for (int i = 0; i < count; ++i) array.Add(Tracked(i));
}

template <unsigned N>
std::vector<int> Values(const HybridArray<Tracked, N>& array) {
    std::vector<int> values;
    for (unsigned i = 0; i < array.GetCount(); ++i) values.push_back(array.At(i).Get());
    return values;
}

TEST_F(HybridArrayTest, WithoutInlineStorageGrowsToOneTwoFour) {
    HybridArray<int, 0> array;
    EXPECT_EQ(array.GetCapacity(), 0u);
    EXPECT_FALSE(array.UsesHeapBlock());
    const unsigned expected[] = {1, 2, 4, 4, 8};
    for (unsigned i = 0; i < 5; ++i) {
        EXPECT_EQ(array.Add(static_cast<int>(i) * 10), i);
        EXPECT_EQ(array.GetCapacity(), expected[i]);
        EXPECT_TRUE(array.UsesHeapBlock());
    }
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(array.At(i), static_cast<int>(i) * 10);
}

TEST_F(HybridArrayTest, InlineStorageHoldsNThenDoubles) {
    HybridArray<Tracked, 2> array;
    Fill(array, 2);
    EXPECT_EQ(array.GetCapacity(), 2u);
    EXPECT_FALSE(array.UsesHeapBlock());
    array.Add(Tracked(2));
    EXPECT_EQ(array.GetCapacity(), 4u);
    EXPECT_TRUE(array.UsesHeapBlock());
    EXPECT_EQ(Values(array), (std::vector<int>{0, 1, 2}));

    HybridArray<char, 5> five;
    five.AddRange("abcdef", 6);
    EXPECT_EQ(five.GetCapacity(), 10u);
}

TEST_F(HybridArrayTest, ReserveNeverShrinksAndClearKeepsStorage) {
    HybridArray<Tracked, 0> array;
    array.Reserve(5);
    EXPECT_EQ(array.GetCapacity(), 8u);
    array.Reserve(3);
    EXPECT_EQ(array.GetCapacity(), 8u);
    Fill(array, 6);
    array.Clear();
    EXPECT_EQ(array.GetCount(), 0u);
    EXPECT_EQ(array.GetCapacity(), 8u);
    EXPECT_EQ(Tracked::live, 0);
}

TEST_F(HybridArrayTest, RemoveFirstKeepsTheRestInOrderOrClears) {
    HybridArray<Tracked, 0> array;
    Fill(array, 5);
    array.RemoveFirst(3);
    EXPECT_EQ(Values(array), (std::vector<int>{3, 4}));
    EXPECT_EQ(Tracked::live, 2);
    array.RemoveFirst(0);
    EXPECT_EQ(array.GetCount(), 2u);

    for (unsigned count : {5u, 9u}) {
        array.Clear();
        Fill(array, 5);
        array.RemoveFirst(count);
        EXPECT_EQ(array.GetCount(), 0u);
        EXPECT_EQ(Tracked::live, 0);
    }
}

TEST_F(HybridArrayTest, TruncateShrinksButNeverGrows) {
    HybridArray<Tracked, 0> array;
    Fill(array, 5);
    array.Truncate(7);
    EXPECT_EQ(array.GetCount(), 5u);
    array.Truncate(2);
    EXPECT_EQ(Values(array), (std::vector<int>{0, 1}));
    EXPECT_EQ(Tracked::live, 2);
    EXPECT_EQ(array.GetCapacity(), 8u);
}

TEST_F(HybridArrayTest, RemoveAtKeepsOrderRemoveAtFastMovesTheLast) {
    HybridArray<Tracked, 0> array;
    Fill(array, 3);
    array.RemoveAtFast(1);
    EXPECT_EQ(Values(array), (std::vector<int>{0, 2}));
    array.RemoveAtFast(1);
    EXPECT_EQ(Values(array), (std::vector<int>{0}));

    array.Clear();
    Fill(array, 3);
    array.RemoveAt(0);
    EXPECT_EQ(Values(array), (std::vector<int>{1, 2}));
    array.RemoveAt(1);
    EXPECT_EQ(Values(array), (std::vector<int>{1}));
    EXPECT_EQ(Tracked::live, 1);
}

TEST_F(HybridArrayTest, PopReturnsTheLastElement) {
    HybridArray<Tracked, 1> array;
    Fill(array, 3);
    EXPECT_EQ(array.Pop().Get(), 2);
    EXPECT_EQ(array.Pop().Get(), 1);
    EXPECT_EQ(Values(array), (std::vector<int>{0}));
    EXPECT_EQ(Tracked::live, 1);
}

TEST_F(HybridArrayTest, AddingOwnElementsWhileGrowingCopiesThemIntact) {
    HybridArray<Tracked, 0> array;
    Fill(array, 4);
    ASSERT_EQ(array.GetCapacity(), 4u);
    array.Add(array.At(1));
    EXPECT_EQ(array.GetCapacity(), 8u);
    array.AddRange(array.GetData(), array.GetCount());
    EXPECT_EQ(Values(array), (std::vector<int>{0, 1, 2, 3, 1, 0, 1, 2, 3, 1}));
}

TEST_F(HybridArrayTest, ResizeMakesFreshSlotsAndDestroysSurplus) {
    HybridArray<int*, 0> pointers;
    int x = 0;
    pointers.Add(&x);
    pointers.Reserve(4);
    pointers.Resize(4);
    EXPECT_EQ(pointers.At(0), &x);
    for (unsigned i = 1; i < 4; ++i) EXPECT_EQ(pointers.At(i), nullptr);

    HybridArray<Tracked, 0> array;
    array.Reserve(4);
    array.Resize(3);
    EXPECT_EQ(Tracked::live, 3);
    EXPECT_EQ(array.At(2).Get(), 0);
    array.Resize(1);
    EXPECT_EQ(Tracked::live, 1);
}

TEST_F(HybridArrayTest, FindGivesFirstMatchOrMinusOne) {
    HybridArray<int, 0> array;
    for (int value : {4, 7, 4}) array.Add(value);
    EXPECT_EQ(array.Find(4), 0);
    EXPECT_EQ(array.Find(7), 1);
    EXPECT_EQ(array.Find(5), -1);
}

TEST_F(HybridArrayTest, CopiesAreIndependentAndMovesEmptyTheSource) {
    HybridArray<Tracked, 2> inlineSource;
    Fill(inlineSource, 2);
    HybridArray<Tracked, 2> heapSource;
    Fill(heapSource, 5);

    HybridArray<Tracked, 2> copy(heapSource);
    copy.At(0) = Tracked(42);
    EXPECT_EQ(heapSource.At(0).Get(), 0);
    copy = inlineSource;
    EXPECT_EQ(Values(copy), (std::vector<int>{0, 1}));
    EXPECT_TRUE(copy.UsesHeapBlock());

    HybridArray<Tracked, 2> moved(std::move(heapSource));
    EXPECT_EQ(Values(moved), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(heapSource.GetCount(), 0u);
    EXPECT_FALSE(heapSource.UsesHeapBlock());
    moved = std::move(inlineSource);
    EXPECT_EQ(Values(moved), (std::vector<int>{0, 1}));
    EXPECT_EQ(inlineSource.GetCount(), 0u);
    heapSource = std::move(moved);
    EXPECT_EQ(Values(heapSource), (std::vector<int>{0, 1}));
    EXPECT_EQ(Tracked::live, 4);
}

TEST_F(HybridArrayTest, WorksThroughTheInterface) {
    HybridArray<Tracked, 0> array;
    IArray<Tracked>& items = array;
    items.Add(Tracked(5));
    items.At(0) = Tracked(6);
    EXPECT_EQ(items.GetCount(), 1u);
    EXPECT_EQ(items.GetData()->Get(), 6);
}

using HybridArrayDeathTest = HybridArrayTest;

TEST_F(HybridArrayDeathTest, BrokenPreconditionsStop) {
    HybridArray<int, 2> array;
    array.Add(1);
    EXPECT_DEATH(array.At(1), "Contract violated: .*index < count_");
    EXPECT_DEATH(array.RemoveAt(1), "Contract violated: .*index < count_");
    EXPECT_DEATH(array.RemoveAtFast(3), "Contract violated: .*index < count_");
    EXPECT_DEATH(array.Resize(3), "Contract violated: .*count <= capacity_");
    array.Clear();
    EXPECT_DEATH(array.Pop(), "Contract violated: .*count_ > 0");
    EXPECT_DEATH(array.Reserve(UINT32_MAX), "Contract violated: .*UINT32_MAX / 2");
}

}  // namespace
