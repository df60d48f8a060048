// Every conversation a game has with the launcher, once each, end to end: the real library in
// this process against the real development launcher process.
#include "kx/halyxclient/ServerPipe.h"
#include "kx/testing/LauncherGameFixture.h"

namespace kx {
namespace testing {
namespace {

using kx::halyxclient::ClosePipe;
using kx::halyxclient::IsOpenPipe;
using kx::halyxclient::SendAndReceive;

// The launcher answers reads in parts of this size, so the savegame below arrives in six.
constexpr unsigned int kPartSize = 4096;
constexpr unsigned int kSaveSize = 5 * kPartSize + 123;
constexpr unsigned int kSlot = 3;

using ConversationsTest = LauncherGameFixture;

TEST_F(ConversationsTest, LoginDetailsAndTheServerPipe) {
    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(Connect());

    const LoginCall login = AskLoginDetails();
    EXPECT_EQ(login.userName, kUserName);
    EXPECT_EQ(login.password, kPassword);
    EXPECT_EQ(login.cdKey, kCdKey);

    // The pipe handed over is open and ours: what goes in comes back from the echo service.
    ServerListener server;
    session_->GetHalyxServer(NextId(), &server, kProduct, 0);
    ASSERT_TRUE(PumpUntil([&] { return !server.calls.empty(); }));
    const PipeHandle pipe = server.calls[0].pipe;
    ASSERT_TRUE(IsOpenPipe(pipe));
    const std::string text(3000, 'e');
    EXPECT_EQ(SendAndReceive(pipe, text + "\xE2\x9C\x93", kPatience), text + "\xE2\x9C\x93");
    ClosePipe(pipe);

    // A product without a server: the failure value, inside Update.
    session_->GetHalyxServer(NextId(), &server, kProduct + 1, 0);
    EXPECT_EQ(server.calls.size(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return server.calls.size() == 2; }));
    EXPECT_FALSE(IsOpenPipe(server.calls[1].pipe));
}

TEST_F(ConversationsTest, SavegameWrittenListedReadBackAndRemoved) {
    ASSERT_TRUE(StartLauncher({"--part-size", std::to_string(kPartSize)}));
    ASSERT_TRUE(Connect());
    const std::string data = Pattern(kSaveSize, 1);
    const std::u16string name = u"Gro\u00DFe Reise \u65C5";

    unsigned int result = kNoAnswer;
    SavegameWriter* writer = OpenWriter(kSlot, false, &result);
    ASSERT_NE(writer, nullptr) << "result " << result;
    EXPECT_TRUE(writer->SetName(Units(name)));
    ASSERT_TRUE(WriteInPieces(writer, data, 5));
    writer->Close(true);

    std::vector<ListedSavegame> listed = List();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, name);
    EXPECT_EQ(listed[0].productId, kProduct);
    EXPECT_EQ(listed[0].savegameId, kSlot);
    EXPECT_EQ(listed[0].size, kSaveSize);

    unsigned int lastPart = 0;
    EXPECT_TRUE(Load(kSlot, kSaveSize, &lastPart) == data);
    EXPECT_EQ(lastPart, kSaveSize % kPartSize) << "the listener gets the size of the last part";

    EXPECT_EQ(OpenWriter(kSlot, false, &result), nullptr);
    EXPECT_EQ(result, 1u) << "an existing savegame is not overwritten unless allowed";

    RemoveListener remove;
    const unsigned int removeId = NextId();
    session_->RemoveSavegame(removeId, &remove, kProduct, kSlot);
    session_->RemoveSavegame(NextId(), &remove, kProduct, kSlot);
    ASSERT_TRUE(PumpUntil([&] { return remove.calls.size() == 2; }));
    EXPECT_EQ(remove.calls[0].requestId, removeId);
    EXPECT_EQ(remove.calls[0].value, 0u);
    EXPECT_EQ(remove.calls[1].value, 1u) << "already gone";

    EXPECT_TRUE(List().empty());
    EXPECT_EQ(OpenReader(kSlot, &result), nullptr);
    EXPECT_EQ(result, 1u);
    EXPECT_TRUE(ProductFiles().empty());
}

}  // namespace
}  // namespace testing
}  // namespace kx
