#include "kx/devlauncher/SlotLocks.h"

#include <gtest/gtest.h>

namespace kx {
namespace devlauncher {
namespace {

constexpr SlotKey kSlot{1, 2};
constexpr SlotKey kOtherSlot{1, 3};
constexpr SlotKey kOtherProduct{2, 2};

TEST(SlotLocksTest, ReadersShareAndExcludeWriters) {
    SlotLocks locks;
    EXPECT_TRUE(locks.TryLockRead(1, kSlot));
    EXPECT_TRUE(locks.TryLockRead(2, kSlot));
    EXPECT_TRUE(locks.TryLockRead(2, kSlot));  // one client twice
    EXPECT_FALSE(locks.TryLockWrite(3, kSlot));
    EXPECT_FALSE(locks.TryLockWrite(1, kSlot));  // not even a reader may upgrade
    EXPECT_TRUE(locks.UnlockRead(1, kSlot));
    EXPECT_TRUE(locks.UnlockRead(2, kSlot));
    EXPECT_FALSE(locks.TryLockWrite(3, kSlot));  // client 2 still has one hold
    EXPECT_TRUE(locks.UnlockRead(2, kSlot));
    EXPECT_TRUE(locks.TryLockWrite(3, kSlot));
}

TEST(SlotLocksTest, WriterExcludesEveryone) {
    SlotLocks locks;
    ASSERT_TRUE(locks.TryLockWrite(1, kSlot));
    EXPECT_FALSE(locks.TryLockWrite(1, kSlot));
    EXPECT_FALSE(locks.TryLockWrite(2, kSlot));
    EXPECT_FALSE(locks.TryLockRead(1, kSlot));
    EXPECT_FALSE(locks.TryLockRead(2, kSlot));
    EXPECT_TRUE(locks.TryLockWrite(2, kOtherSlot));
    EXPECT_TRUE(locks.TryLockRead(2, kOtherProduct));
    EXPECT_TRUE(locks.HoldsWrite(1, kSlot));
    EXPECT_FALSE(locks.HoldsWrite(2, kSlot));
}

TEST(SlotLocksTest, OnlyTheHolderUnlocks) {
    SlotLocks locks;
    ASSERT_TRUE(locks.TryLockWrite(1, kSlot));
    EXPECT_FALSE(locks.UnlockWrite(2, kSlot));
    EXPECT_FALSE(locks.UnlockRead(1, kSlot));
    EXPECT_TRUE(locks.UnlockWrite(1, kSlot));
    EXPECT_FALSE(locks.UnlockWrite(1, kSlot));
    ASSERT_TRUE(locks.TryLockRead(1, kSlot));
    EXPECT_FALSE(locks.UnlockRead(2, kSlot));
    EXPECT_FALSE(locks.UnlockWrite(1, kSlot));
    EXPECT_TRUE(locks.HoldsRead(1, kSlot));
    EXPECT_FALSE(locks.HoldsRead(2, kSlot));
}

TEST(SlotLocksTest, ReleaseAllFreesOnlyThatClient) {
    SlotLocks locks;
    ASSERT_TRUE(locks.TryLockWrite(1, kSlot));
    ASSERT_TRUE(locks.TryLockRead(1, kOtherSlot));
    ASSERT_TRUE(locks.TryLockRead(1, kOtherSlot));
    ASSERT_TRUE(locks.TryLockRead(2, kOtherSlot));
    locks.ReleaseAll(1);
    EXPECT_TRUE(locks.TryLockWrite(3, kSlot));
    EXPECT_FALSE(locks.HoldsRead(1, kOtherSlot));
    EXPECT_TRUE(locks.HoldsRead(2, kOtherSlot));
    EXPECT_FALSE(locks.TryLockWrite(3, kOtherSlot));
    locks.ReleaseAll(2);
    EXPECT_TRUE(locks.TryLockWrite(3, kOtherSlot));
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
