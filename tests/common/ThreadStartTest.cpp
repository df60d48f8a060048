#include "kx/common/ThreadStart.h"

#include <gtest/gtest.h>

#include "FailingThreadStarts.h"
#include "kx/common/Event.h"

namespace {

using kx::common::Event;

// Records the thread it ran on and tells the test when it has been deleted.
class RecordingFunctor : public kx::common::Functor {
public:
    RecordingFunctor(unsigned* ranOn, Event* deleted) : ranOn_(ranOn), deleted_(deleted) {}
    ~RecordingFunctor() override { deleted_->Set(); }
    void Run() override { *ranOn_ = kx::common::CurrentThreadId(); }

private:
    unsigned* ranOn_;
    Event* deleted_;
};

TEST(ThreadStartTest, RunsTheFunctorOnANewThreadThenDeletesIt) {
    unsigned ranOn = 0;
    Event deleted;
    ASSERT_TRUE(kx::common::StartThread(new RecordingFunctor(&ranOn, &deleted)));
    deleted.Wait();
    EXPECT_NE(ranOn, 0u);
    EXPECT_NE(ranOn, kx::common::CurrentThreadId());
}

TEST(ThreadStartTest, AStartThePlatformRefusesReportsFalseAndDeletesTheFunctorUnrun) {
    unsigned ranOn = 0;
    Event deleted;
    {
        kx::testing::FailingThreadStarts failing;
        EXPECT_FALSE(kx::common::StartThread(new RecordingFunctor(&ranOn, &deleted)));
    }
    bool signalled = false;
    deleted.Wait(0, signalled);
    EXPECT_TRUE(signalled);
    EXPECT_EQ(ranOn, 0u);
}

TEST(ThreadStartTest, ThreadIdIsStableAndNonZero) {
    const unsigned id = kx::common::CurrentThreadId();
    EXPECT_NE(id, 0u);
    EXPECT_EQ(kx::common::CurrentThreadId(), id);
}

}  // namespace
