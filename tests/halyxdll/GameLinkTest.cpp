// A game's view: linked against the shared library, using nothing but the public header.
#include <gtest/gtest.h>

#include "velhalyxapi_r2.h"

namespace {

TEST(GameLinkTest, SessionsFromTheExportShareOneState) {
    kx::halyxdll::HalyxSession* first = KxHalyxdllGetSession();
    kx::halyxdll::HalyxSession* second = KxHalyxdllGetSession();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first, second);

    EXPECT_EQ(KxHalyxdllGetRequestUniqueId(first), 1u);
    EXPECT_EQ(KxHalyxdllGetRequestUniqueId(second), 2u);
    EXPECT_EQ(first->GetRequestUniqueId(), 3u);
    KxHalyxdllGetNetworkTraffic(second, 4, nullptr);
    EXPECT_EQ(KxHalyxdllGetRequestUniqueId(first), 4u);

    // No export releases a facade; a C++ game may delete them, which ends the session state.
    delete first;
    delete second;
}

}  // namespace
