// Update: which answers reach which listener, in which order, and what is dropped.
#include <algorithm>
#include <thread>

#include "SessionFixture.h"
#include "kx/clientbox/DropLog.h"
#include "kx/halyxdll/AnswerBounds.h"

namespace kx {
namespace testing {
namespace {

using DispatchTest = SessionTest;

TEST_F(DispatchTest, WaitingAnswersAreServedByOneUpdateInArrivalOrder) {
    Connect();
    // One Update serves all waiting answers unless its time budget runs out first, which a
    // sanitizer build on a busy machine can make happen after one answer: up to three rounds
    // may run, and one of them must be served whole by one Update.
    bool servedByOneUpdate = false;
    for (unsigned int round = 0; round < 3 && !servedByOneUpdate; ++round) {
        const unsigned int first = 1 + 3 * round;
        ReaderListener reader;
        for (unsigned int id = first; id < first + 3; ++id) {
            session_.GetSavegameReader(id, &reader, 7, id);
        }
        for (int i = 0; i < 3; ++i) NextRequest();

        const auto answer = [](unsigned int id) {
            return Frame(OpenReadAnswer(id, 7, id, wire::StartReadSavegameRsp::NotFound));
        };
        launcher_.SendBytes(answer(first + 2) + answer(first) + answer(first + 1));
        ASSERT_TRUE(Pump([&] { return reader.calls.size() == 3; }));
        EXPECT_EQ(reader.calls[0].requestId, first + 2);
        EXPECT_EQ(reader.calls[1].requestId, first);
        EXPECT_EQ(reader.calls[2].requestId, first + 1);
        servedByOneUpdate = reader.calls[0].update == reader.calls[2].update;
    }
    EXPECT_TRUE(servedByOneUpdate);
}

TEST_F(DispatchTest, FramesSplitAnywhereOrSharingWritesAreAllDelivered) {
    Connect();
    RemoveListener remove;
    for (unsigned int id = 1; id <= 4; ++id) session_.RemoveSavegame(id, &remove, 7, id);
    for (int i = 0; i < 4; ++i) NextRequest();

    // One frame a byte at a time, then one write holding a whole frame and the first part of
    // the next, then the rest of it together with one more frame.
    const std::string first = Frame(RemoveAnswer(1, wire::RemoveSavegameRsp::Ok));
    for (char byte : first) {
        launcher_.SendBytes(std::string(1, byte));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        KxHalyxdllUpdate(&session_);
    }
    const std::string rest = Frame(RemoveAnswer(2, wire::RemoveSavegameRsp::NotFound)) +
                             Frame(RemoveAnswer(3, wire::RemoveSavegameRsp::Locked)) +
                             Frame(RemoveAnswer(4, wire::RemoveSavegameRsp::Failed));
    const std::size_t cut = rest.size() / 2 + 1;
    launcher_.SendBytes(rest.substr(0, cut));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    KxHalyxdllUpdate(&session_);
    launcher_.SendBytes(rest.substr(cut));

    ASSERT_TRUE(Pump([&] { return remove.calls.size() == 4; }));
    for (unsigned int i = 0; i < 4; ++i) {
        EXPECT_EQ(remove.calls[i].requestId, i + 1);
        EXPECT_EQ(remove.calls[i].value, i) << "remove results pass through unchanged";
    }
}

TEST_F(DispatchTest, AnswerWithTwoServedSlotsGoesToTheFirstInDispatchOrderOnly) {
    Connect();
    ReaderListener reader;
    RemoveListener remove;
    session_.RemoveSavegame(5, &remove, 7, 1);
    session_.GetSavegameReader(5, &reader, 7, 1);
    NextRequest();
    NextRequest();

    wire::Rsp both = OpenReadAnswer(5, 7, 1, wire::StartReadSavegameRsp::SlotLocked);
    both.mutable_removesavegame()->set_status(wire::RemoveSavegameRsp::Ok);
    launcher_.Send(both);
    ASSERT_TRUE(Pump([&] { return !reader.calls.empty(); }));
    EXPECT_EQ(reader.calls[0].result, 2u);
    EXPECT_TRUE(remove.calls.empty());

    // The remove entry is still pending and takes its own answer.
    launcher_.Send(RemoveAnswer(5, wire::RemoveSavegameRsp::NotFound));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
    EXPECT_EQ(remove.calls[0].value, 1u);
}

TEST_F(DispatchTest, LoginDetailsAreDecodedAndDeliveredOnce) {
    Connect();
    LoginListener login;
    session_.GetLoginDetails(8, &login);
    NextRequest();

    // "Jörg", a password with a character beyond the first plane, a plain CD key.
    const std::string password = "p\xc3\xa4ss\xf0\x9f\x98\x80";
    launcher_.SendBytes(Frame(LoginAnswer(8, "J\xc3\xb6rg", password, "AB-12")) +
                        Frame(LoginAnswer(8, "again", "again", "again")));
    ASSERT_TRUE(Pump([&] { return !login.calls.empty(); }));
    PumpFor(&session_, 50);
    ASSERT_EQ(login.calls.size(), 1u) << "the second answer finds no entry";
    EXPECT_EQ(login.calls[0].requestId, 8u);
    EXPECT_EQ(login.calls[0].userName, "J\xc3\xb6rg");
    EXPECT_EQ(login.calls[0].password, std::u16string(u"p\u00e4ss\U0001F600"));
    EXPECT_EQ(login.calls[0].cdKey, "AB-12");
}

// One answer object serves every poll: a listener that polls again meets the next answer whole,
// and its own texts stay as they were delivered.
TEST_F(DispatchTest, ListenerThatCallsUpdateMeetsTheNextAnswerWhole) {
    Connect();
    LoginListener login;
    login.then = [&](unsigned int id) {
        if (id == 1) KxHalyxdllUpdate(&session_);
    };
    session_.GetLoginDetails(1, &login);
    session_.GetLoginDetails(2, &login);
    NextRequest();
    NextRequest();
    launcher_.SendBytes(
        Frame(LoginAnswer(1, "a user name longer than sso", "first password", "K-1")) +
        Frame(LoginAnswer(2, "second", "pw", "K-2")));
    ASSERT_TRUE(Pump([&] { return login.calls.size() == 2; }));
    EXPECT_EQ(login.calls[0].requestId, 1u);
    EXPECT_EQ(login.calls[0].userName, "a user name longer than sso");
    EXPECT_EQ(login.calls[0].password, std::u16string(u"first password"));
    EXPECT_EQ(login.calls[1].requestId, 2u);
    EXPECT_EQ(login.calls[1].userName, "second");
    EXPECT_EQ(login.calls[1].cdKey, "K-2");
}

// A listener pumps Update while the launcher goes away: the nested Update lets go of the closed
// connection, and the outer one must notice rather than use it.
TEST_F(DispatchTest, ListenerPumpingUpdateWhileTheLauncherGoesAwayEndsBothUpdates) {
    Connect();
    LoginListener login;
    login.then = [&](unsigned int id) {
        if (id != 1) return;
        launcher_.DropClient();
        ASSERT_TRUE(WaitConnectionClosed());
        KxHalyxdllUpdate(&session_);
        EXPECT_EQ(State().GetConnection(), nullptr);
    };
    std::string answers;
    for (unsigned int id = 1; id <= 3; ++id) {
        session_.GetLoginDetails(id, &login);
        NextRequest();
        answers += Frame(LoginAnswer(id, "user", "pw", "key"));
    }
    launcher_.SendBytes(answers);
    ASSERT_TRUE(Pump([&] { return !login.calls.empty(); }));
    PumpFor(&session_, 10);
    EXPECT_EQ(login.calls.size(), 1u);
}

// Frames that are dropped count against an Update's budget like served ones, so a launcher
// streaming garbage cannot hold the game inside one Update; their log lines are few.
TEST_F(DispatchTest, DroppedFramesCountAgainstTheUpdateBudget) {
    Connect();
    LoginListener login;
    session_.GetLoginDetails(5, &login);
    NextRequest();
    std::string stream;
    const std::string garbage = {'\0', '\0', '\0', '\1', '\xFF'};
    for (unsigned int i = 0; i < HalyxSessionData::kMaxAnswersPerUpdate; ++i) stream += garbage;
    launcher_.SendBytes(stream + Frame(LoginAnswer(5, "user", "pw", "key")));
    // Time for every byte to arrive: the first Update must stop at its budget all the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    session_.Update();
    EXPECT_TRUE(login.calls.empty()) << "the answer behind a full budget of garbage waits";
    ASSERT_TRUE(Pump([&] { return !login.calls.empty(); }));
    EXPECT_LE(LogCapture::Get().Matching("Dropped").size(),
              kx::clientbox::DropLog::kLinesInFull + 1);
}

// An answer over a bound is dropped before it is decoded, with one line; the next one arrives.
TEST_F(DispatchTest, AListAnswerOverItsBoundIsDroppedWithOneLine) {
    Connect();
    ListListener list;
    session_.GetSavegameList(6, &list, 7);
    session_.GetSavegameList(7, &list, 7);
    NextRequest();
    NextRequest();
    std::vector<ListEntry> entries(kx::halyxdll::kMaxListedSavegames + 1, ListEntry{"", 1, 0});
    launcher_.SendBytes(Frame(ListAnswer(6, entries)) + Frame(ListAnswer(7, {{"one", 1, 10}})));
    ASSERT_TRUE(Pump([&] { return !list.calls.empty(); }));
    EXPECT_EQ(list.calls[0].requestId, 7u);
    EXPECT_EQ(LogCapture::Get().Matching("lists too many savegames").size(), 1u);
}

// A part too large to keep around is served like any other, and so is the part after it.
TEST_F(DispatchTest, ReadPartsLargeAndSmallFollowingEachOtherAreCopiedWhole) {
    Connect();
    SavegameReader* reader = OpenReader(7, 3);
    ASSERT_NE(reader, nullptr);
    const std::size_t large = (5u << 20) + 3;
    std::string first(large, '\0');
    for (std::size_t i = 0; i < large; ++i) first[i] = static_cast<char>(i * 7 + (i >> 12));
    const std::string second = "the last part";
    std::vector<char> destination(large + second.size());
    ReadListener read;
    reader->Read(40, &read, 0, destination.data(), static_cast<unsigned>(destination.size()));
    NextRequest();
    launcher_.Send(ReadPartAnswer(40, first, 0, false));
    launcher_.Send(ReadPartAnswer(40, second, static_cast<unsigned>(large), true));
    ASSERT_TRUE(Pump([&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, second.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), destination.begin()));
    EXPECT_EQ(std::string(destination.begin() + large, destination.end()), second);
    reader->Close();
}

// The login answer handler calls the recorded listener; a null one must not be called.
TEST_F(DispatchTest, LoginDetailsAnswerForANullListenerIsDropped) {
    Connect();
    RemoveListener remove;
    session_.GetLoginDetails(8, nullptr);
    session_.RemoveSavegame(9, &remove, 7, 1);
    NextRequest();
    NextRequest();

    launcher_.SendBytes(Frame(LoginAnswer(8, "user", "password", "key")) +
                        Frame(RemoveAnswer(9, wire::RemoveSavegameRsp::Ok)));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
}

TEST_F(DispatchTest, AnswerWithoutAServedSlotIsDroppedWithOneLogLine) {
    Connect();
    ReaderListener reader;
    session_.GetSavegameReader(5, &reader, 7, 1);
    NextRequest();

    wire::Rsp empty;
    empty.set_requestid(5);
    wire::Rsp stopRead;
    stopRead.set_requestid(5);
    stopRead.mutable_stopreadsavegame();
    launcher_.SendBytes(Frame(empty) + Frame(stopRead) +
                        Frame(OpenReadAnswer(5, 7, 1, wire::StartReadSavegameRsp::NotFound)));
    ASSERT_TRUE(Pump([&] { return !reader.calls.empty(); }));
    EXPECT_EQ(reader.calls.size(), 1u);
    EXPECT_EQ(reader.calls[0].result, 1u) << "the entry waited for the answer it serves";
    EXPECT_EQ(LogCapture::Get().Matching("carries nothing this library serves").size(), 2u);
}

TEST_F(DispatchTest, ConnectionThatClosedIsDroppedWithItsBufferedAnswerAndEntries) {
    Connect();
    ReaderListener reader;
    session_.GetSavegameReader(5, &reader, 7, 1);
    NextRequest();

    launcher_.Send(OpenReadAnswer(5, 7, 1, wire::StartReadSavegameRsp::NotFound));
    launcher_.DropClient();
    ASSERT_TRUE(WaitConnectionClosed());

    session_.Update();
    EXPECT_EQ(State().GetConnection(), nullptr);
    EXPECT_TRUE(reader.calls.empty()) << "the buffered answer is never delivered";
    PumpFor(&session_, 20);
    EXPECT_TRUE(reader.calls.empty());

    // The entry went with the connection: an answer on a new one does not reach it.
    Connect();
    EXPECT_EQ(launcher_.ClientCount(), 2);
    ReaderListener fresh;
    session_.GetSavegameReader(6, &fresh, 7, 1);
    NextRequest();
    launcher_.SendBytes(Frame(OpenReadAnswer(5, 7, 1, wire::StartReadSavegameRsp::SlotLocked)) +
                        Frame(OpenReadAnswer(6, 7, 1, wire::StartReadSavegameRsp::SlotLocked)));
    ASSERT_TRUE(Pump([&] { return !fresh.calls.empty(); }));
    EXPECT_TRUE(reader.calls.empty());
}

TEST_F(DispatchTest, SameKindRequestUnderItsOwnIdFromAListenerLosesItsEntry) {
    Connect();
    ReaderListener reader;
    reader.then = [&](unsigned int id) {
        if (reader.calls.size() == 1) session_.GetSavegameReader(id, &reader, 7, 2);
    };
    session_.GetSavegameReader(5, &reader, 7, 1);
    NextRequest();

    launcher_.Send(OpenReadAnswer(5, 7, 1, wire::StartReadSavegameRsp::NotFound));
    ASSERT_TRUE(Pump([&] { return !reader.calls.empty(); }));
    const wire::Req again = NextRequest();
    EXPECT_EQ(again.requestid(), 5u);
    EXPECT_EQ(again.startreadsavegame().slotid(), 2u) << "the new request goes out";

    launcher_.Send(OpenReadAnswer(5, 7, 2, wire::StartReadSavegameRsp::NotFound));
    PumpFor(&session_, 100);
    EXPECT_EQ(reader.calls.size(), 1u) << "its entry was removed when the call returned";
}

}  // namespace
}  // namespace testing
}  // namespace kx
