// The C interface's callback adapters: each goes back to its pool exactly when its request
// ends, however it ends.
#include <string>
#include <vector>

#include "SessionFixture.h"
#include "kx/halyxdll/CallbackAdapter.h"
#include "velhalyxapi_r2_c.h"

namespace kx {
namespace testing {
namespace {

using kx::halyxdll::CallbackAdapter;

// What reached the game's callbacks, in order: "remove <id> <result>" and "dropped <id>",
// each with the context it came with.
struct Calls {
    std::vector<std::string> seen;
    std::vector<void*> contexts;
    // When set, the next remove callback issues its request again, under its own id.
    KxHalyxdllCSession* reissueOn = nullptr;
};
Calls* g_calls = nullptr;

void Record(void* context, const std::string& what) {
    g_calls->seen.push_back(what);
    g_calls->contexts.push_back(context);
}

void OnRemove(void* context, uint32_t requestId, uint32_t result) {
    Record(context, "remove " + std::to_string(requestId) + " " + std::to_string(result));
    KxHalyxdllCSession* session = g_calls->reissueOn;
    g_calls->reissueOn = nullptr;
    if (session != nullptr) KxHalyxdllCRemoveSavegame(session, requestId, &OnRemove, context, 7, 1);
}

void OnDropped(void* context, uint32_t requestId) {
    Record(context, "dropped " + std::to_string(requestId));
}

class CallbackAdapterTest : public SessionTest {
protected:
    CallbackAdapterTest() : c_(KxHalyxdllCCreateSession()) {
        g_calls = &calls_;
        KxHalyxdllCSetDroppedCallback(c_, &OnDropped);
    }
    ~CallbackAdapterTest() override {
        if (c_ != nullptr) KxHalyxdllCDestroySession(c_);
        g_calls = nullptr;
    }

    void Remove(uint32_t id, uint32_t slot, void* context) {
        KxHalyxdllCRemoveSavegame(c_, id, &OnRemove, context, 7, slot);
    }

    Calls calls_;
    KxHalyxdllCSession* c_;
    int a_ = 0, b_ = 0;
};

TEST_F(CallbackAdapterTest, AnsweredAndRefusedRequestsReturnTheirAdaptersToThePool) {
    Connect();
    Remove(3, 0, &a_);  // refused at once
    EXPECT_EQ(calls_.seen, std::vector<std::string>{"remove 3 3"});
    for (uint32_t id = 10; id < 20; ++id) {
        Remove(id, 1, &b_);
        NextRequest();
        EXPECT_EQ(CallbackAdapter::GetLiveCount(), 1);
        launcher_.Send(RemoveAnswer(id, wire::RemoveSavegameRsp::Ok));
        ASSERT_TRUE(Pump([&] { return calls_.seen.size() == id - 8; }));
    }
    EXPECT_EQ(calls_.seen.back(), "remove 19 0");
    EXPECT_EQ(calls_.contexts.back(), &b_);
    EXPECT_EQ(CallbackAdapter::GetLiveCount(), 0);
    const unsigned blocks = CallbackAdapter::GetHeapBlockCount();
    Remove(20, 1, &b_);
    EXPECT_EQ(CallbackAdapter::GetHeapBlockCount(), blocks) << "a returned adapter is reused";
}

TEST_F(CallbackAdapterTest, ReplacedLostAndReissuedRequestsAreDroppedOnce) {
    Connect();
    Remove(5, 1, &a_);
    Remove(5, 2, &b_);  // replaces the first
    EXPECT_EQ(calls_.seen, std::vector<std::string>{"dropped 5"});
    EXPECT_EQ(calls_.contexts[0], &a_);

    // Re-issued under its own id from its callback: forgotten when the callback returns, as
    // the C++ interface's listeners are.
    calls_.reissueOn = c_;
    launcher_.Send(RemoveAnswer(5, wire::RemoveSavegameRsp::Ok));
    ASSERT_TRUE(Pump([&] { return calls_.seen.size() == 3; }));
    EXPECT_EQ(calls_.seen[1], "remove 5 0");
    EXPECT_EQ(calls_.contexts[1], &b_);
    EXPECT_EQ(calls_.seen[2], "dropped 5");
    EXPECT_EQ(CallbackAdapter::GetLiveCount(), 0);

    Remove(6, 1, &a_);
    Remove(7, 1, &b_);
    launcher_.DropClient();
    ASSERT_TRUE(Pump([&] { return calls_.seen.size() == 5; }));
    EXPECT_EQ(calls_.seen[3].rfind("dropped ", 0), 0u);
    EXPECT_EQ(calls_.seen[4].rfind("dropped ", 0), 0u);
    EXPECT_EQ(CallbackAdapter::GetLiveCount(), 0);
}

TEST_F(CallbackAdapterTest, DestroyingTheSessionDropsPendingRequests) {
    Connect();
    Remove(8, 1, &a_);
    KxHalyxdllCDestroySession(c_);
    c_ = nullptr;
    EXPECT_EQ(calls_.seen, std::vector<std::string>{"dropped 8"});
    EXPECT_EQ(CallbackAdapter::GetLiveCount(), 0);
}

}  // namespace
}  // namespace testing
}  // namespace kx
