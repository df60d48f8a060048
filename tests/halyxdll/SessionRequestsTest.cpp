// How each request goes out: its refusals at once, its exact frame, and what it records.
#include "SessionFixture.h"

namespace kx {
namespace testing {
namespace {

wire::Req Request(unsigned int id) {
    wire::Req request;
    request.set_requestid(id);
    return request;
}

using RequestTest = SessionTest;

TEST_F(RequestTest, EachRequestGoesOutAsExactlyOneFrame) {
    Connect();
    LoginListener login;
    ReaderListener reader;
    WriterListener writer;
    ListListener list;
    RemoveListener remove;
    ServerListener server;
    std::string frame;

    session_.GetLoginDetails(1, &login);
    wire::Req expected = Request(1);
    expected.mutable_getlogindetails();
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));

    session_.GetSavegameReader(2, &reader, 7, 3);
    expected = Request(2);
    expected.mutable_startreadsavegame()->set_productid(7);
    expected.mutable_startreadsavegame()->set_slotid(3);
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));

    session_.GetSavegameWriter(3, &writer, 7, 4, true);
    expected = Request(3);
    expected.mutable_startwritesavegame()->set_productid(7);
    expected.mutable_startwritesavegame()->set_slotid(4);
    expected.mutable_startwritesavegame()->set_overwriteexisting(true);
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));

    session_.GetSavegameList(4, &list, 7);
    expected = Request(4);
    expected.mutable_listsavegames()->set_productid(7);
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));

    session_.RemoveSavegame(5, &remove, 7, 6);
    expected = Request(5);
    expected.mutable_removesavegame()->set_productid(7);
    expected.mutable_removesavegame()->set_slotid(6);
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));

    session_.GetHalyxServer(6, &server, 7, 8);
    expected = Request(6);
    expected.mutable_getosi()->set_productid(7);
    expected.mutable_getosi()->set_subproductid(8);
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));
    EXPECT_EQ(frame.substr(0, 4), std::string("\0\0\0\x08", 4)) << "length first, big-endian";

    EXPECT_TRUE(login.calls.empty() && reader.calls.empty() && writer.calls.empty() &&
                list.calls.empty() && remove.calls.empty() && server.calls.empty())
        << "nothing is answered before the launcher answers";
}

TEST_F(RequestTest, SlotZeroIsRefusedBeforeTheCallReturnsAndNothingIsSent) {
    Connect();
    ReaderListener reader;
    WriterListener writer;
    RemoveListener remove;

    session_.GetSavegameReader(11, &reader, 7, 0);
    ASSERT_EQ(reader.calls.size(), 1u);
    EXPECT_EQ(reader.calls[0].requestId, 11u);
    EXPECT_EQ(reader.calls[0].result, 3u);
    EXPECT_EQ(reader.calls[0].reader, nullptr);

    session_.GetSavegameWriter(12, &writer, 7, 0, false);
    ASSERT_EQ(writer.calls.size(), 1u);
    EXPECT_EQ(writer.calls[0].requestId, 12u);
    EXPECT_EQ(writer.calls[0].result, 3u);
    EXPECT_EQ(writer.calls[0].writer, nullptr);

    session_.RemoveSavegame(13, &remove, 7, 0);
    ASSERT_EQ(remove.calls.size(), 1u);
    EXPECT_EQ(remove.calls[0].requestId, 13u);
    EXPECT_EQ(remove.calls[0].value, 3u);

    // Without a listener nothing at all happens.
    session_.GetSavegameReader(14, nullptr, 7, 0);
    session_.GetSavegameWriter(15, nullptr, 7, 0, true);
    session_.RemoveSavegame(16, nullptr, 7, 0);

    EXPECT_TRUE(launcher_.NoRequestWithin(100));
    // A late answer under a refused id finds no entry.
    launcher_.Send(OpenReadAnswer(11, 7, 1, wire::StartReadSavegameRsp::Ok));
    PumpFor(&session_, 100);
    EXPECT_EQ(reader.calls.size(), 1u);
}

TEST_F(RequestTest, NetworkTrafficSendsNothingAndNeverCalls) {
    Connect();
    struct : IGetNetworkTrafficListener {
    } traffic;
    session_.GetNetworkTraffic(3, &traffic);
    KxHalyxdllGetNetworkTraffic(&session_, 4, &traffic);
    EXPECT_TRUE(launcher_.NoRequestWithin(100));
}

TEST_F(RequestTest, AnswerToARequestWithoutListenerIsConsumedSilently) {
    Connect();
    RemoveListener remove;
    session_.GetSavegameReader(21, nullptr, 7, 2);
    session_.RemoveSavegame(22, &remove, 7, 2);
    NextRequest();
    NextRequest();

    launcher_.SendBytes(Frame(OpenReadAnswer(21, 7, 2, wire::StartReadSavegameRsp::Ok)) +
                        Frame(RemoveAnswer(22, wire::RemoveSavegameRsp::Ok)));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
    EXPECT_EQ(remove.calls[0].requestId, 22u);
}

TEST_F(RequestTest, SecondListenerUnderTheSameIdReplacesTheFirst) {
    Connect();
    ListListener first;
    ListListener second;
    session_.GetSavegameList(31, &first, 7);
    session_.GetSavegameList(31, &second, 7);
    EXPECT_TRUE(NextRequest().has_listsavegames());
    EXPECT_TRUE(NextRequest().has_listsavegames()) << "both requests go out";

    launcher_.SendBytes(Frame(ListAnswer(31, {})) + Frame(ListAnswer(31, {})));
    ASSERT_TRUE(Pump([&] { return !second.calls.empty(); }));
    PumpFor(&session_, 50);
    EXPECT_TRUE(first.calls.empty());
    EXPECT_EQ(second.calls.size(), 1u) << "the second answer finds no entry";
}

}  // namespace
}  // namespace testing
}  // namespace kx
