// The session state's life cycle as the facade drives it, in-process.
#include <gtest/gtest.h>

#include "kx/halyxdll/halyxdll_internal.h"
#include "velhalyxapi_r2/HalyxSession.h"
#include "velhalyxapi_r2/KxHalyxdll.h"

namespace kx {
namespace halyxdll {
namespace {

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

TEST(SessionLifecycleTest, FakeSessionIsNull) { EXPECT_EQ(KxHalyxdllGetFakeSession(), nullptr); }

TEST(SessionLifecycleDeathTest, FacadeUsedAfterStateWasDestroyedStops) {
    EXPECT_DEATH(
        {
            HalyxSession* first = new HalyxSession();
            HalyxSession* second = new HalyxSession();
            delete first;
            second->GetRequestUniqueId();
        },
        "Contract violated");
}

TEST(SessionLifecycleDeathTest, NullHandleToExportStops) {
    EXPECT_DEATH(KxHalyxdllGetRequestUniqueId(nullptr), "Contract violated");
}

}  // namespace
}  // namespace halyxdll
}  // namespace kx
