// The launcher goes away in the middle of a frame: the session drops the connection at its next
// Update, nothing half-received reaches a listener or the game's memory, and the requests that
// were waiting are served once a new connection answers them.
#include "SessionFixture.h"

namespace kx {
namespace testing {
namespace {

using VanishingLauncherTest = SessionTest;

TEST_F(VanishingLauncherTest, EndingAnywhereInAFrameDropsTheConnectionCleanly) {
    std::vector<char> memory(64 + 1000 + 64, '#');
    char* const buffer = memory.data() + 64;
    ReadListener read;
    RemoveListener remove;
    std::string data(1000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
    const std::string part = Frame(ReadPartAnswer(21, data, 0, true));
    const std::string removed = Frame(RemoveAnswer(22, wire::RemoveSavegameRsp::Ok));
    // Inside the prefix, right after it, inside the body, one byte short; then a whole frame
    // followed by a part of the next, which the closing connection must not deliver either.
    const std::size_t cuts[] = {
        1, 2, 3, 4, 5, part.size() / 2, part.size() - 1, removed.size() + 3};

    for (const std::size_t cut : cuts) {
        SCOPED_TRACE(cut);
        Connect();
        State().Read(21, &read, 7, 1, 0, buffer, 1000);
        session_.RemoveSavegame(22, &remove, 7, 1);
        NextRequest();
        NextRequest();
        LogCapture::Get().Clear();

        const std::string stream = cut == removed.size() + 3 ? removed + part : part;
        launcher_.SendBytes(stream.substr(0, cut));
        launcher_.DropClient();
        ASSERT_TRUE(WaitConnectionClosed());
        session_.Update();
        EXPECT_EQ(State().GetConnection(), nullptr);
        PumpFor(&session_, 10);
        EXPECT_TRUE(read.calls.empty());
        EXPECT_TRUE(remove.calls.empty()) << "a closed connection delivers nothing buffered";
        EXPECT_EQ(std::string(memory.begin(), memory.end()), std::string(memory.size(), '#'));
        // A read that fails may be logged (on Windows); nothing half-received is parsed.
        EXPECT_EQ(LogCapture::Get().Matching("parse").size(), 0u);
        EXPECT_EQ(LogCapture::Get().Matching("Refused").size(), 0u);
    }

    // The entries were forgotten with their connection: answers under their ids from a new
    // launcher reach neither the listeners nor the buffer, which the game may have freed.
    Connect();
    RemoveListener fresh;
    session_.RemoveSavegame(23, &fresh, 7, 1);
    NextRequest();
    launcher_.SendBytes(part + removed + Frame(RemoveAnswer(23, wire::RemoveSavegameRsp::Ok)));
    ASSERT_TRUE(Pump([&] { return !fresh.calls.empty(); }));
    EXPECT_TRUE(read.calls.empty());
    EXPECT_TRUE(remove.calls.empty());
    EXPECT_EQ(std::string(memory.begin(), memory.end()), std::string(memory.size(), '#'));
}

}  // namespace
}  // namespace testing
}  // namespace kx
