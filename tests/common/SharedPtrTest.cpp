#include "kx/common/SharedPtr.h"

#include <gtest/gtest.h>

#include "kx/common/IntrusivePtrBase.h"
#include "kx/common/Pooled.h"
#include "kx/common/TemplatedReferenceCounter.h"

namespace {

using kx::common::IntrusivePtrBase;
using kx::common::SharedPtr;
using kx::common::TemplatedReferenceCounter;

class Base {
public:
    explicit Base(int* destroyed) : destroyed_(destroyed) {}
    virtual ~Base() { ++*destroyed_; }
    int value = 7;

private:
    int* destroyed_;
};

class Derived : public Base {
public:
    using Base::Base;
};

// An object with its own counter that hands out references to itself.
class Intrusive : public IntrusivePtrBase<Intrusive> {
public:
    explicit Intrusive(int* destroyed) : destroyed_(destroyed) {
        SharedPtr<Intrusive> self = GetSharedPtr();
        countInConstructor = self.GetCounter()->GetCount();
    }
    ~Intrusive() { ++*destroyed_; }
    int countInConstructor = 0;

private:
    int* destroyed_;
};

TEST(SharedPtrTest, AdoptsARawPointerWithCountOneAndDestroysOnLastRelease) {
    int destroyed = 0;
    {
        SharedPtr<Base> first(new Base(&destroyed));
        ASSERT_NE(first.GetCounter(), nullptr);
        EXPECT_EQ(first.GetCounter()->GetCount(), 1);
        {
            SharedPtr<Base> second(first);
            EXPECT_EQ(first.GetCounter()->GetCount(), 2);
            EXPECT_EQ(second.Get(), first.Get());
        }
        EXPECT_EQ(first.GetCounter()->GetCount(), 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(SharedPtrTest, TheNextCounterOfTheTypeReusesTheReturnedBlock) {
    int destroyed = 0;
    SharedPtr<Base> first(new Base(&destroyed));
    kx::common::ReferenceCounter* block = first.GetCounter();
    first.Reset();
    EXPECT_EQ(destroyed, 1);
    const unsigned heapBlocks = TemplatedReferenceCounter<Base>::GetHeapBlockCount();
    SharedPtr<Base> second(new Base(&destroyed));
    EXPECT_EQ(second.GetCounter(), block);
    EXPECT_EQ(TemplatedReferenceCounter<Base>::GetHeapBlockCount(), heapBlocks);
}

TEST(SharedPtrTest, SelfAssignmentAndAssignmentWithTheSameCounterChangeNoCount) {
    int destroyed = 0;
    SharedPtr<Base> first(new Base(&destroyed));
    SharedPtr<Base> second(first);
    SharedPtr<Base>& alias = first;
    first = alias;
    EXPECT_EQ(first.GetCounter()->GetCount(), 2);
    first = second;
    EXPECT_EQ(first.GetCounter()->GetCount(), 2);
    EXPECT_EQ(destroyed, 0);
}

TEST(SharedPtrTest, AssignmentMovesTheReferenceToTheNewObject) {
    int destroyedOld = 0;
    int destroyedNew = 0;
    SharedPtr<Base> target(new Base(&destroyedOld));
    SharedPtr<Base> source(new Base(&destroyedNew));
    target = source;
    EXPECT_EQ(destroyedOld, 1);
    EXPECT_EQ(target.Get(), source.Get());
    EXPECT_EQ(source.GetCounter()->GetCount(), 2);
    source.Reset();
    target.Reset();
    EXPECT_EQ(destroyedNew, 1);
}

TEST(SharedPtrTest, ConvertsToABaseTypeSharingTheCounter) {
    int destroyed = 0;
    SharedPtr<Derived> derived(new Derived(&destroyed));
    SharedPtr<Base> base(derived);
    EXPECT_EQ(base.GetCounter(), derived.GetCounter());
    EXPECT_EQ(base.GetCounter()->GetCount(), 2);
    EXPECT_EQ(base->value, 7);
    SharedPtr<Base> assigned;
    assigned = derived;
    EXPECT_EQ(base.GetCounter()->GetCount(), 3);
    derived.Reset();
    base.Reset();
    EXPECT_EQ(destroyed, 0);
    assigned.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(SharedPtrTest, EmptyPointers) {
    SharedPtr<Base> empty;
    EXPECT_TRUE(empty.IsNull());
    EXPECT_FALSE(empty);
    EXPECT_EQ(empty.GetCounter(), nullptr);
    SharedPtr<Base> fromNull(static_cast<Base*>(nullptr));
    EXPECT_TRUE(fromNull.IsNull());
    SharedPtr<Base> copy(empty);
    copy = fromNull;
    copy.Reset();
    EXPECT_TRUE(copy.IsNull());
}

TEST(SharedPtrTest, IntrusiveObjectsShareTheirOwnCounter) {
    int destroyed = 0;
    Intrusive* raw = new Intrusive(&destroyed);
    // The constructor's own reference came on top of the initial one.
    EXPECT_EQ(raw->countInConstructor, 2);
    SharedPtr<Intrusive> owner(raw);
    EXPECT_EQ(owner.GetCounter()->GetCount(), 1);
    SharedPtr<Intrusive> self = raw->GetSharedPtr();
    EXPECT_EQ(self.GetCounter(), owner.GetCounter());
    EXPECT_EQ(owner.GetCounter()->GetCount(), 2);
    owner.Reset();
    EXPECT_EQ(destroyed, 0);
    self.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(SharedPtrDeathTest, DereferencingAnEmptyPointerStops) {
    SharedPtr<Base> empty;
    EXPECT_DEATH(static_cast<void>(empty->value), "Contract violated");
}

TEST(SharedPtrDeathTest, AdoptingAnIntrusiveObjectTwiceStops) {
    EXPECT_DEATH(
        {
            int destroyed = 0;
            Intrusive* raw = new Intrusive(&destroyed);
            SharedPtr<Intrusive> first(raw);
            SharedPtr<Intrusive> second(raw);
        },
        "Contract violated");
}

TEST(SharedPtrDeathTest, CopyingAPointerWhoseCountReachedZeroStops) {
    EXPECT_DEATH(
        {
            int destroyed = 0;
            SharedPtr<Base> pointer(new Base(&destroyed));
            pointer.GetCounter()->ReleaseReference();  // as if another thread had let go
            SharedPtr<Base> copy(pointer);
        },
        "Contract violated");
}

}  // namespace
