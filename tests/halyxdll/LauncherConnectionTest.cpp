// When the launcher connection is opened, reused and dropped, and what requests do without one.
#include <thread>

#include "SessionFixture.h"
#include "kx/testing/PipeNamespace.h"

namespace kx {
namespace testing {
namespace {

using ConnectionTest = SessionTest;

TEST(ConnectionWithoutLauncherTest, GetHalyxServerFailsAtOnceAndConnectsOnceTheLauncherRuns) {
    kx::testing::IsolatePipeNamespace();
    HalyxSession session;
    ServerListener server;
    session.GetHalyxServer(1, &server, 7, 1);
    ASSERT_EQ(server.calls.size(), 1u) << "the failure is reported before the call returns";
    EXPECT_EQ(server.calls[0].requestId, 1u);
    EXPECT_EQ(server.calls[0].pipe, InvalidPipe());
    session.GetHalyxServer(2, nullptr, 7, 1);
    EXPECT_EQ(HalyxSessionData::Current()->GetConnection(), nullptr);

    FakeLauncher launcher;
    session.GetHalyxServer(3, &server, 7, 1);
    EXPECT_EQ(server.calls.size(), 1u);
    ASSERT_NE(HalyxSessionData::Current()->GetConnection(), nullptr);
    wire::Req request;
    ASSERT_TRUE(launcher.NextRequest(&request));
    EXPECT_EQ(request.requestid(), 3u);
}

TEST_F(ConnectionTest, OnlyGetHalyxServerOpensTheConnectionAndAnOpenOneIsReused) {
    LoginListener login;
    ListListener list;
    session_.GetLoginDetails(1, &login);
    session_.GetSavegameList(2, &list, 7);
    session_.GetSavegameReader(3, nullptr, 7, 1);
    session_.Update();
    EXPECT_EQ(State().GetConnection(), nullptr);
    EXPECT_EQ(LogCapture::Get().Matching("No launcher connection").size(), 3u);

    session_.GetHalyxServer(4, nullptr, 7, 1);
    session_.GetHalyxServer(5, nullptr, 7, 1);
    EXPECT_EQ(NextRequest().requestid(), 4u) << "the requests made before were not sent";
    EXPECT_EQ(NextRequest().requestid(), 5u);
    EXPECT_EQ(launcher_.ClientCount(), 1) << "no second socket for an open connection";
}

// Without a connection nothing is sent, and a later connection's answer under the same id
// never reaches the listener: that launcher never received the request.
TEST_F(ConnectionTest, RequestWithoutConnectionIsNotSentAndNeverAnswered) {
    ReaderListener reader;
    session_.GetSavegameReader(5, &reader, 7, 1);
    EXPECT_EQ(LogCapture::Get().Matching("No launcher connection: request 5 not sent.").size(), 1u);
    Connect();
    EXPECT_TRUE(launcher_.NoRequestWithin(50));

    ReaderListener fresh;
    session_.GetSavegameReader(6, &fresh, 7, 1);
    NextRequest();
    launcher_.SendBytes(Frame(OpenReadAnswer(5, 7, 1, wire::StartReadSavegameRsp::NotFound)) +
                        Frame(OpenReadAnswer(6, 7, 1, wire::StartReadSavegameRsp::NotFound)));
    ASSERT_TRUE(Pump([&] { return !fresh.calls.empty(); }));
    EXPECT_TRUE(reader.calls.empty());
}

TEST_F(ConnectionTest, UpdateDropsAClosedConnection) {
    Connect();
    launcher_.DropClient();
    ASSERT_TRUE(WaitConnectionClosed());
    session_.Update();
    EXPECT_EQ(State().GetConnection(), nullptr);
    Connect();
    EXPECT_EQ(launcher_.ClientCount(), 2);
}

// A stop-write sent on a connection that then closes is never answered; the list requests
// held back for it go out again once the connection is given up.
TEST_F(ConnectionTest, ListsHeldBackForALostConnectionAreReissued) {
    Connect();
    SavegameWriter* writer = OpenWriter(7, 3);
    ASSERT_NE(writer, nullptr);
    writer->Close(true);
    EXPECT_TRUE(NextRequest().has_stopwritesavegame());
    ListListener list;
    session_.GetSavegameList(8, &list, 7);
    EXPECT_TRUE(launcher_.NoRequestWithin(50)) << "held back behind the stop-write";

    launcher_.DropClient();
    ASSERT_TRUE(WaitConnectionClosed());
    session_.Update();
    EXPECT_EQ(State().GetConnection(), nullptr);
    EXPECT_EQ(LogCapture::Get().Matching("No launcher connection: request 8 not sent.").size(), 1u)
        << "re-issued while no connection exists: recorded, not sent";

    Connect();
    session_.GetSavegameList(9, &list, 7);
    EXPECT_EQ(NextRequest().requestid(), 9u) << "no longer held back";
    launcher_.SendBytes(Frame(ListAnswer(8, {})) + Frame(ListAnswer(9, {})));
    ASSERT_TRUE(Pump([&] { return !list.calls.empty(); }));
    PumpFor(&session_, 20);
    ASSERT_EQ(list.calls.size(), 1u) << "8 was re-issued while there was no connection";
    EXPECT_EQ(list.calls[0].requestId, 9u);
}

TEST_F(ConnectionTest, StopWriteThatCouldNotBeSentHoldsNothingBack) {
    Connect();
    SavegameWriter* writer = OpenWriter(7, 3);
    ASSERT_NE(writer, nullptr);
    launcher_.DropClient();
    ASSERT_TRUE(WaitConnectionClosed());
    session_.Update();
    writer->Close(true);

    Connect();
    ListListener list;
    session_.GetSavegameList(8, &list, 7);
    EXPECT_EQ(NextRequest().requestid(), 8u);
}

TEST_F(ConnectionTest, ReplacingAClosedConnectionReleasesItsHeldBackLists) {
    Connect();
    SavegameWriter* writer = OpenWriter(7, 3);
    ASSERT_NE(writer, nullptr);
    writer->Close(false);
    EXPECT_TRUE(NextRequest().has_stopwritesavegame());
    ListListener list;
    session_.GetSavegameList(8, &list, 7);
    launcher_.DropClient();
    ASSERT_TRUE(WaitConnectionClosed());

    // No Update in between: GetHalyxServer itself replaces the closed connection.
    session_.GetHalyxServer(10, nullptr, 7, 1);
    const wire::Req first = NextRequest();
    EXPECT_EQ(first.requestid(), 8u);
    EXPECT_TRUE(first.has_listsavegames()) << "the held-back list goes out on the new connection";
    EXPECT_TRUE(NextRequest().has_getosi());
}

}  // namespace
}  // namespace testing
}  // namespace kx
