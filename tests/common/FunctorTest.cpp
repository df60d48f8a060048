#include <gtest/gtest.h>

#include "kx/common/FunctorFunction1.h"
#include "kx/common/FunctorMethod0WeakPtr.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/WeakPtr.h"

namespace {

using kx::common::FunctorFunction1;
using kx::common::FunctorMethod0WeakPtr;
using kx::common::SharedPtr;
using kx::common::WeakPtr;

struct Counter {
    void Bump() { ++calls; }
    int calls = 0;
};

int g_sum = 0;

void AddToSum(SharedPtr<Counter> counter) {
    g_sum += counter->calls;
}

TEST(FunctorTest, FunctionFunctorKeepsItsArgumentAliveAndCallsWithIt) {
    SharedPtr<Counter> counter(new Counter);
    counter->calls = 5;
    g_sum = 0;
    kx::common::Functor* functor = new FunctorFunction1<SharedPtr<Counter>>(&AddToSum, counter);
    EXPECT_EQ(counter.GetCounter()->GetCount(), 2);
    functor->Run();
    functor->Run();
    EXPECT_EQ(g_sum, 10);
    delete functor;
    EXPECT_EQ(counter.GetCounter()->GetCount(), 1);
}

TEST(FunctorTest, MethodFunctorCallsALiveTargetWithoutKeepingItAlive) {
    SharedPtr<Counter> counter(new Counter);
    FunctorMethod0WeakPtr<Counter> functor(WeakPtr<Counter>(counter), &Counter::Bump);
    EXPECT_EQ(counter.GetCounter()->GetCount(), 1);
    functor.Run();
    functor.Run();
    EXPECT_EQ(counter->calls, 2);
    EXPECT_EQ(counter.GetCounter()->GetCount(), 1);
}

TEST(FunctorTest, MethodFunctorDoesNothingOnceTheTargetIsGone) {
    SharedPtr<Counter> counter(new Counter);
    FunctorMethod0WeakPtr<Counter> functor(WeakPtr<Counter>(counter), &Counter::Bump);
    counter.Reset();
    functor.Run();  // AddressSanitizer reports a call on the destroyed target
}

}  // namespace
