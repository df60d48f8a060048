#include "kx/common/WeakPtr.h"

#include <gtest/gtest.h>

#include <new>
#include <thread>

#include "kx/common/Event.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/WeakPtrBase.h"

namespace {

using kx::common::Event;
using kx::common::ReferenceCounter;
using kx::common::SharedPtr;
using kx::common::WeakPtr;

struct Target {
    explicit Target(int* destroyed) : destroyed_(destroyed) {}
    ~Target() { ++*destroyed_; }
    int* destroyed_;
};

TEST(WeakPtrTest, LocksToTheSameObjectWhileItLives) {
    int destroyed = 0;
    SharedPtr<Target> owner(new Target(&destroyed));
    WeakPtr<Target> weak(owner);
    EXPECT_EQ(owner.GetCounter()->GetWeakCount(), 1u);
    SharedPtr<Target> locked = weak.Lock();
    EXPECT_EQ(locked.Get(), owner.Get());
    EXPECT_EQ(owner.GetCounter()->GetCount(), 2);
}

TEST(WeakPtrTest, LocksToEmptyAfterTheLastRelease) {
    int destroyed = 0;
    SharedPtr<Target> owner(new Target(&destroyed));
    WeakPtr<Target> weak(owner);
    WeakPtr<Target> copy(weak);
    owner.Reset();
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(weak.Lock().IsNull());
    EXPECT_TRUE(copy.Lock().IsNull());
    // A copy of an invalidated weak pointer is empty from the start.
    WeakPtr<Target> late(weak);
    EXPECT_TRUE(late.Lock().IsNull());
}

TEST(WeakPtrTest, EmptySharedPointerGivesAnEmptyWeakPointer) {
    SharedPtr<Target> empty;
    WeakPtr<Target> weak(empty);
    EXPECT_TRUE(weak.Lock().IsNull());
    // Destroying it must not wait for an invalidation that never comes.
}

TEST(WeakPtrTest, DestroyedWeakPointerLeavesTheRegistry) {
    int destroyed = 0;
    SharedPtr<Target> owner(new Target(&destroyed));
    WeakPtr<Target>* first = new WeakPtr<Target>(owner);
    WeakPtr<Target> second(owner);
    EXPECT_EQ(owner.GetCounter()->GetWeakCount(), 2u);
    delete first;
    EXPECT_EQ(owner.GetCounter()->GetWeakCount(), 1u);
    EXPECT_EQ(owner.GetCounter()->GetCount(), 1);
    // The object's destruction must not touch the deleted weak pointer (AddressSanitizer
    // reports it if it does).
    owner.Reset();
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(second.Lock().IsNull());
}

TEST(WeakPtrTest, DestroyingTheLastWeakObserverOfAnOrphanDestroysTheObject) {
    int destroyed = 0;
    SharedPtr<Target>* owner = new SharedPtr<Target>(new Target(&destroyed));
    WeakPtr<Target>* weak = new WeakPtr<Target>(*owner);
    SharedPtr<Target> locked = weak->Lock();
    delete owner;
    delete weak;
    EXPECT_EQ(destroyed, 0);
    locked.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(WeakPtrTest, LockOnADyingObjectWaitsForTheInvalidationWithoutTouchingTheCount) {
    // The owner is never destroyed: its reference is released by hand below, as if the last
    // release had happened on another thread that has not yet got round to Destroy.
    alignas(SharedPtr<Target>) unsigned char storage[sizeof(SharedPtr<Target>)];
    int destroyed = 0;
    SharedPtr<Target>* owner = new (storage) SharedPtr<Target>(new Target(&destroyed));
    ReferenceCounter* counter = owner->GetCounter();
    WeakPtr<Target> weak(*owner);
    const unsigned waitsBefore = kx::common::WeakPtrBase::GetDyingObjectWaitCount();
    ASSERT_EQ(counter->ReleaseReference(), 0);

    Event returned;
    bool gotEmpty = false;
    std::thread locker([&] {
        gotEmpty = weak.Lock().IsNull();
        returned.Set();
    });
    bool signalled = true;
    returned.Wait(100, signalled);
    EXPECT_FALSE(signalled);
    EXPECT_EQ(counter->GetCount(), 0);

    counter->Destroy();
    locker.join();
    EXPECT_TRUE(gotEmpty);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(kx::common::WeakPtrBase::GetDyingObjectWaitCount(), waitsBefore + 1);
    EXPECT_TRUE(weak.Lock().IsNull());
}

TEST(WeakPtrTest, RegistryKeepsEachWeakPointerOnce) {
    int destroyed = 0;
    SharedPtr<Target> owner(new Target(&destroyed));
    WeakPtr<Target> weak(owner);
    owner.GetCounter()->RegisterWeak(&weak);
    EXPECT_EQ(owner.GetCounter()->GetWeakCount(), 1u);
    owner.GetCounter()->UnregisterWeak(&weak);
    owner.GetCounter()->UnregisterWeak(&weak);
    EXPECT_EQ(owner.GetCounter()->GetWeakCount(), 0u);
    owner.GetCounter()->RegisterWeak(&weak);
}

}  // namespace
