// The session state's life cycle as the facade drives it, in-process.
#include <gtest/gtest.h>

#include "SessionFixture.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "velhalyxapi_r2/HalyxSession.h"
#include "velhalyxapi_r2/KxHalyxdll.h"

namespace kx {
namespace halyxdll {
namespace {

using kx::testing::FakeLauncher;
using kx::testing::ReaderListener;

TEST(SessionLifecycleTest, FirstFacadeCreatesStateAndAnyFacadeDestroysIt) {
    ASSERT_EQ(HalyxSessionData::Current(), nullptr);
    auto* first = new HalyxSession();
    HalyxSessionData* state = HalyxSessionData::Current();
    ASSERT_NE(state, nullptr);

    auto* second = new HalyxSession();
    EXPECT_EQ(HalyxSessionData::Current(), state) << "a later facade creates nothing";
    EXPECT_EQ(first->GetRequestUniqueId(), 1u);
    EXPECT_EQ(second->GetRequestUniqueId(), 2u) << "both facades count on one state";

    delete second;
    EXPECT_EQ(HalyxSessionData::Current(), nullptr) << "destroying any facade ends the state";
    delete first;

    HalyxSession fresh;
    EXPECT_EQ(fresh.GetRequestUniqueId(), 1u) << "a new state counts from 1 again";
}

TEST(SessionLifecycleTest, NetworkTrafficRequestChangesNothing) {
    HalyxSession session;
    session.GetNetworkTraffic(5, nullptr);
    EXPECT_EQ(session.GetRequestUniqueId(), 1u);
}

TEST(SessionLifecycleTest, ConstructionOpensNoConnection) {
    FakeLauncher launcher;
    HalyxSession session;
    kx::testing::PumpFor(&session, 30);
    EXPECT_EQ(launcher.ClientCount(), 0);
    EXPECT_EQ(HalyxSessionData::Current()->GetConnection(), nullptr);
}

// The socket keeps itself alive while its read is outstanding, so only closing the connection
// ends the pipe; otherwise the launcher would keep this client's slots locked.
TEST(SessionLifecycleTest, DestroyingTheStateClosesItsConnectionAndCallsNoListener) {
    FakeLauncher launcher;
    ReaderListener reader;
    auto* session = new HalyxSession();
    session->GetHalyxServer(1, nullptr, 7, 1);
    session->GetSavegameReader(2, &reader, 7, 1);
    kx::testing::wire::Req request;
    ASSERT_TRUE(launcher.NextRequest(&request));
    ASSERT_TRUE(launcher.NextRequest(&request));

    delete session;
    EXPECT_TRUE(launcher.WaitClientGone());
    EXPECT_TRUE(reader.calls.empty());
}

TEST(SessionLifecycleTest, FakeSessionIsNull) {
    EXPECT_EQ(KxHalyxdllGetFakeSession(), nullptr);
}

// Other tests leave the transport's threads running: the child must not be a bare fork.
class SessionLifecycleDeathTest : public ::testing::Test {
protected:
    SessionLifecycleDeathTest() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(SessionLifecycleDeathTest, FacadeUsedAfterStateWasDestroyedStops) {
    EXPECT_DEATH(
        {
            HalyxSession* first = new HalyxSession();
            HalyxSession* second = new HalyxSession();
            delete first;
            second->GetRequestUniqueId();
        },
        "Contract violated");
}

TEST_F(SessionLifecycleDeathTest, NullHandleToExportStops) {
    EXPECT_DEATH(KxHalyxdllGetRequestUniqueId(nullptr), "Contract violated");
}

}  // namespace
}  // namespace halyxdll
}  // namespace kx
