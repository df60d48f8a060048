// A game's view: linked against the shared library, using nothing but the public header.
#include <gtest/gtest.h>

#include "FakeLauncher.h"
#include "WireAnswers.h"
#include "kx/testing/RecordingListeners.h"
#include "velhalyxapi_r2.h"

namespace kx {
namespace testing {
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

// Every conversation a game has with the launcher, through the plain exports and the
// exported classes only, against the fake launcher on a real pipe.
class GameConversationTest : public ::testing::Test {
protected:
    ~GameConversationTest() override { delete session_; }

    wire::Req NextRequest() {
        wire::Req request;
        EXPECT_TRUE(launcher_.NextRequest(&request)) << "no request reached the launcher";
        return request;
    }

    FakeLauncher launcher_;
    HalyxSession* session_ = KxHalyxdllGetSession();
};

TEST_F(GameConversationTest, ServerPipeAndLoginDetails) {
    const std::string pipeName = "game_server_pipe";
    PipeServer gameServer(pipeName);
    ServerListener server;
    const unsigned int serverId = KxHalyxdllGetRequestUniqueId(session_);
    EXPECT_EQ(serverId, 1u);
    KxHalyxdllGetHalyxServer(session_, serverId, &server, 7, 2);
    const wire::Req osi = NextRequest();
    EXPECT_EQ(osi.requestid(), serverId);
    EXPECT_EQ(osi.getosi().productid(), 7u);
    EXPECT_EQ(osi.getosi().subproductid(), 2u);
    launcher_.Send(ServerAnswer(serverId, wire::GetOsiRsp::Ok, &pipeName));
    ASSERT_TRUE(PumpUntil(session_, [&] { return !server.calls.empty(); }));
    ASSERT_NE(server.calls[0].pipe, InvalidPipe());
    PipeEnd game(reinterpret_cast<intptr_t>(server.calls[0].pipe));
    ASSERT_TRUE(game.WriteAll("ping", 4));
    std::unique_ptr<PipeEnd> end;
    ASSERT_TRUE(PumpUntil(
        session_, [&] { return (end = gameServer.Accept(kx::testing::Wait(0))) != nullptr; }));
    std::string received;
    ASSERT_TRUE(PumpUntil(session_, [&] {
        char buffer[8];
        const long got = end->ReadSome(buffer, sizeof(buffer), kx::testing::Wait(0));
        if (got > 0) received.append(buffer, static_cast<std::size_t>(got));
        return received.size() >= 4 || got == 0;
    }));
    EXPECT_EQ(received, "ping");
    game.Close();

    LoginListener login;
    const unsigned int loginId = KxHalyxdllGetRequestUniqueId(session_);
    KxHalyxdllGetLoginDetails(session_, loginId, &login);
    EXPECT_TRUE(NextRequest().has_getlogindetails());
    launcher_.Send(LoginAnswer(loginId, "player", "s\xc3\xa9same", "KEY-1"));
    ASSERT_TRUE(PumpUntil(session_, [&] { return !login.calls.empty(); }));
    EXPECT_EQ(login.calls[0].userName, "player");
    EXPECT_EQ(login.calls[0].password, std::u16string(u"s\u00e9same"));
    EXPECT_EQ(login.calls[0].cdKey, "KEY-1");
}

TEST_F(GameConversationTest, WriteListReadAndRemoveASavegame) {
    KxHalyxdllGetHalyxServer(session_, 1, nullptr, 7, 0);
    NextRequest();

    // Write: open, two writes, a name, close.
    WriterListener opened;
    KxHalyxdllGetSavegameWriter(session_, 2, &opened, 7, 4, true);
    const wire::Req open = NextRequest();
    EXPECT_EQ(open.startwritesavegame().slotid(), 4u);
    EXPECT_TRUE(open.startwritesavegame().overwriteexisting());
    launcher_.Send(OpenWriteAnswer(2, 7, 4, wire::StartWriteSavegameRsp::Ok));
    ASSERT_TRUE(PumpUntil(session_, [&] { return !opened.calls.empty(); }));
    SavegameWriter* writer = opened.calls[0].writer;
    ASSERT_NE(writer, nullptr);
    WriteListener written;
    KxHalyxdllSaveGameWriterWrite(writer, 3, &written, "hello ", 6);
    writer->Write(4, &written, "world", 5);
    EXPECT_EQ(NextRequest().writesavegame().data(), "hello ");
    EXPECT_EQ(NextRequest().writesavegame().data(), "world");
    launcher_.SendBytes(Frame(WriteAnswer(3, wire::WriteSavegameRsp::Ok, 6)) +
                        Frame(WriteAnswer(4, wire::WriteSavegameRsp::Ok, 5)));
    ASSERT_TRUE(PumpUntil(session_, [&] { return written.calls.size() == 2; }));
    EXPECT_TRUE(writer->SetName(Units(u"Level 2 \u2013 Ende")));
    KxHalyxdllSaveGameWriterClose(writer, true);
    const wire::Req stop = NextRequest();
    EXPECT_EQ(stop.requestid(), 1u);
    EXPECT_EQ(stop.stopwritesavegame().name(), "Level 2 \xe2\x80\x93 Ende");
    EXPECT_TRUE(stop.stopwritesavegame().persist());

    // A list asked for now waits for the stop-write answer.
    ListListener list;
    KxHalyxdllGetSavegameList(session_, 5, &list, 7);
    EXPECT_TRUE(launcher_.NoRequestWithin(30));
    launcher_.Send(StopWriteAnswer(1));
    wire::Req listRequest;
    ASSERT_TRUE(PumpUntil(session_, [&] { return launcher_.TryNextRequest(&listRequest); }));
    EXPECT_EQ(listRequest.requestid(), 5u);
    launcher_.Send(ListAnswer(5, {{"Level 2 \xe2\x80\x93 Ende", 4, 11}}));
    ASSERT_TRUE(PumpUntil(session_, [&] { return !list.calls.empty(); }));
    ASSERT_EQ(list.calls[0].savegames.size(), 1u);
    EXPECT_EQ(list.calls[0].savegames[0].name, std::u16string(u"Level 2 \u2013 Ende"));
    EXPECT_EQ(list.calls[0].savegames[0].savegameId, 4u);
    EXPECT_EQ(list.calls[0].savegames[0].size, 11u);
    EXPECT_EQ(list.calls[0].savegames[0].productId, 7u);

    // Read: open, one read answered in two parts, close.
    ReaderListener reading;
    session_->GetSavegameReader(6, &reading, 7, 4);
    NextRequest();
    launcher_.Send(OpenReadAnswer(6, 7, 4, wire::StartReadSavegameRsp::Ok));
    ASSERT_TRUE(PumpUntil(session_, [&] { return !reading.calls.empty(); }));
    SavegameReader* reader = reading.calls[0].reader;
    ASSERT_NE(reader, nullptr);
    char buffer[11] = {};
    ReadListener read;
    KxHalyxdllSaveGameReaderRead(reader, 7, &read, 0, buffer, sizeof(buffer));
    EXPECT_EQ(NextRequest().readsavegame().numbytes(), 11u);
    launcher_.SendBytes(Frame(ReadPartAnswer(7, "hello ", 0, false)) +
                        Frame(ReadPartAnswer(7, "world", 6, true)));
    ASSERT_TRUE(PumpUntil(session_, [&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, 5u);
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), "hello world");
    KxHalyxdllSaveGameReaderClose(reader);
    EXPECT_TRUE(NextRequest().has_stopreadsavegame());

    // Remove: refused at once for slot 0, answered by the launcher otherwise.
    RemoveListener removed;
    KxHalyxdllRemoveSavegame(session_, 8, &removed, 7, 0);
    ASSERT_EQ(removed.calls.size(), 1u);
    EXPECT_EQ(removed.calls[0].value, 3u);
    KxHalyxdllRemoveSavegame(session_, 9, &removed, 7, 4);
    EXPECT_EQ(NextRequest().removesavegame().slotid(), 4u);
    launcher_.Send(RemoveAnswer(9, wire::RemoveSavegameRsp::Ok));
    ASSERT_TRUE(PumpUntil(session_, [&] { return removed.calls.size() == 2; }));
    EXPECT_EQ(removed.calls[1].value, 0u);
}

TEST_F(GameConversationTest, LauncherAnswersThatLeadNowhereAreHarmless) {
    KxHalyxdllGetHalyxServer(session_, 1, nullptr, 7, 0);
    NextRequest();
    ReaderListener reader;
    KxHalyxdllGetSavegameReader(session_, 2, &reader, 7, 3);
    NextRequest();
    wire::Rsp nothing;
    nothing.set_requestid(2);
    launcher_.SendBytes(Frame(nothing) + Frame(StopWriteAnswer(1)) +
                        Frame(LoginAnswer(2, "a", "b", "c")) +
                        Frame(OpenReadAnswer(2, 7, 3, wire::StartReadSavegameRsp::Failed)));
    ASSERT_TRUE(PumpUntil(session_, [&] { return !reader.calls.empty(); }));
    EXPECT_EQ(reader.calls[0].result, 3u);
    EXPECT_EQ(reader.calls[0].reader, nullptr);
}

}  // namespace
}  // namespace testing
}  // namespace kx
