// Frames a faulty launcher sends that the library cannot use: lengths it refuses, bodies that
// do not parse, required fields left out, status values outside their enumeration, slots it
// does not know. Each is logged once; what follows still arrives while the connection stays,
// and a refused length drops the connection cleanly.
#include <google/protobuf/stubs/logging.h>

#include <atomic>

#include "HandEncoding.h"
#include "SessionFixture.h"

namespace kx {
namespace testing {
namespace {

using BadFramesTest = SessionTest;

// Counts the lines the protobuf library writes on its own (to standard error, outside the
// library's log) while it lives.
class ProtobufLines {
public:
    ProtobufLines() : previous_(google::protobuf::SetLogHandler(&Count)) { count_ = 0; }
    ~ProtobufLines() { google::protobuf::SetLogHandler(previous_); }
    int Get() const { return count_; }

private:
    static void Count(google::protobuf::LogLevel, const char*, int, const std::string&) {
        ++count_;
    }
    static std::atomic<int> count_;
    google::protobuf::LogHandler* const previous_;
};
std::atomic<int> ProtobufLines::count_;

// Records whose text contains `text`, all at error level; a failure names any other.
int ErrorLines(const std::string& text) {
    int count = 0;
    for (const LogCapture::Line& line : LogCapture::Get().Lines()) {
        if (line.text.find(text) == std::string::npos) {
            ADD_FAILURE() << "unexpected log line: " << line.text;
            continue;
        }
        EXPECT_EQ(line.level, 0) << line.text;
        ++count;
    }
    return count;
}

TEST_F(BadFramesTest, LengthOfZeroOrAbove64MiBDropsTheConnectionAndWhatFollowsIt) {
    ReaderListener reader;
    session_.GetSavegameReader(5, &reader, 7, 1);  // recorded; no connection yet
    const std::uint32_t lengths[] = {0u, 64u * 1024u * 1024u + 1u, 0xFFFFFFFFu};
    for (const std::uint32_t length : lengths) {
        SCOPED_TRACE(length);
        Connect();
        LogCapture::Get().Clear();
        // The answer behind the refused prefix belongs to the refused frame: never delivered.
        launcher_.SendBytes(LengthPrefix(length) +
                            Frame(OpenReadAnswer(5, 7, 1, wire::StartReadSavegameRsp::NotFound)));
        ASSERT_TRUE(WaitConnectionClosed());
        session_.Update();
        EXPECT_EQ(State().GetConnection(), nullptr) << "dropped by the next Update";
        EXPECT_TRUE(reader.calls.empty());
        EXPECT_EQ(ErrorLines("Refused a message length of " + std::to_string(length)), 1);
    }

    EXPECT_EQ(launcher_.ClientCount(), 3);
}

TEST_F(BadFramesTest, BodiesThatDoNotParseAreDroppedOneLineEachAndTheNextAnswersArrive) {
    Connect();
    RemoveListener remove;
    session_.RemoveSavegame(5, &remove, 7, 1);
    session_.RemoveSavegame(6, &remove, 7, 2);
    NextRequest();
    NextRequest();

    const std::string bad[] = {
        std::string(16, '\xFF'),                     // a key that runs past ten bytes
        std::string("\x08", 1),                      // a varint cut off at the frame's end
        std::string("\x08\x05\x62\x40\x08\x05", 6),  // a sub-message claiming 64 bytes
        std::string("\x0F\x01\x02", 3),              // wire type 7 does not exist
        VarintField(1, 5) + std::string("\x00", 1),  // field number 0
    };
    std::string first;
    for (const std::string& body : bad) first += Frame(body);
    launcher_.SendBytes(first + Frame(RemoveAnswer(5, wire::RemoveSavegameRsp::NotFound)));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
    // A later write: the connection went on after the bad frames.
    launcher_.SendBytes(Frame(bad[0]) + Frame(RemoveAnswer(6, wire::RemoveSavegameRsp::Locked)));
    ASSERT_TRUE(Pump([&] { return remove.calls.size() == 2; }));
    EXPECT_EQ(remove.calls[0].requestId, 5u);
    EXPECT_EQ(remove.calls[1].requestId, 6u);
    EXPECT_EQ(remove.calls[1].value, 2u);
    EXPECT_EQ(ErrorLines("does not parse"), 6);
    ASSERT_NE(State().GetConnection(), nullptr);
    EXPECT_FALSE(State().GetConnection()->IsClosed());
}

// Answers that leave out a required field, next to the same answers whole. Only the whole ones
// reach the listeners, in order, each exactly once.
TEST_F(BadFramesTest, AnswersMissingARequiredFieldAreDropped) {
    ProtobufLines protobufLines;
    Connect();
    LoginListener login;
    ServerListener server;
    ReaderListener reader;
    WriteListener write;
    ListListener list;
    ReadListener read;
    RemoveListener remove;
    char buffer[4] = {'#', '#', '#', '#'};
    session_.GetLoginDetails(11, &login);
    session_.GetHalyxServer(12, &server, 7, 1);
    session_.GetSavegameReader(13, &reader, 7, 1);
    State().Write(14, &write, 7, 1, "abc", 3);
    session_.GetSavegameList(15, &list, 7);
    State().Read(16, &read, 7, 1, 0, buffer, sizeof(buffer));
    session_.RemoveSavegame(17, &remove, 7, 1);
    for (int i = 0; i < 7; ++i) NextRequest();

    std::vector<wire::Rsp> broken;
    wire::Rsp noId = RemoveAnswer(17, wire::RemoveSavegameRsp::Ok);
    noId.clear_requestid();
    broken.push_back(noId);
    broken.push_back(LoginAnswer(11, "user", "password", "key"));
    broken.back().mutable_getlogindetails()->clear_cdkey();
    broken.push_back(ServerAnswer(12, wire::GetOsiRsp::Failed, nullptr));
    broken.back().mutable_getosi()->clear_status();
    broken.push_back(OpenReadAnswer(13, 7, 1, wire::StartReadSavegameRsp::Ok));
    broken.back().mutable_startreadsavegame()->clear_slotid();
    broken.push_back(WriteAnswer(14, wire::WriteSavegameRsp::Ok, 3));
    broken.back().mutable_writesavegame()->clear_byteswritten();
    broken.push_back(ListAnswer(15, {{"one", 1, 10}, {"two", 2, 20}}));
    broken.back().mutable_listsavegames()->mutable_savegameinfos(1)->clear_size();
    broken.push_back(ReadPartAnswer(16, "WXYZ", 0, true));
    broken.back().mutable_readsavegame()->clear_islastpart();
    broken.push_back(RemoveAnswer(17, wire::RemoveSavegameRsp::Ok));
    broken.back().mutable_removesavegame()->clear_status();
    std::string bytes;
    for (const wire::Rsp& answer : broken) {
        ASSERT_FALSE(answer.IsInitialized());
        bytes += Frame(answer);
    }
    launcher_.SendBytes(bytes);
    PumpFor(&session_, 50);
    EXPECT_TRUE(login.calls.empty() && server.calls.empty() && reader.calls.empty() &&
                write.calls.empty() && list.calls.empty() && read.calls.empty() &&
                remove.calls.empty());
    EXPECT_EQ(std::string(buffer, 4), "####") << "a read part that did not parse copied bytes";

    launcher_.SendBytes(Frame(LoginAnswer(11, "user", "password", "key")) +
                        Frame(ServerAnswer(12, wire::GetOsiRsp::Failed, nullptr)) +
                        Frame(OpenReadAnswer(13, 7, 1, wire::StartReadSavegameRsp::NotFound)) +
                        Frame(WriteAnswer(14, wire::WriteSavegameRsp::Ok, 3)) +
                        Frame(ListAnswer(15, {{"one", 1, 10}})) +
                        Frame(ReadPartAnswer(16, "abcd", 0, true)) +
                        Frame(RemoveAnswer(17, wire::RemoveSavegameRsp::Ok)));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
    EXPECT_EQ(login.calls.size(), 1u);
    EXPECT_EQ(server.calls.size(), 1u);
    EXPECT_EQ(reader.calls.size(), 1u);
    EXPECT_EQ(write.calls.size(), 1u);
    ASSERT_EQ(list.calls.size(), 1u);
    EXPECT_EQ(list.calls[0].savegames.size(), 1u);
    ASSERT_EQ(read.calls.size(), 1u);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(ErrorLines("does not parse"), 8);
    // The one line names what is missing, and it is the only one.
    EXPECT_EQ(LogCapture::Get().Matching("missing required fields: getLoginDetails.cdkey").size(),
              1u);
    EXPECT_EQ(LogCapture::Get().Matching("missing required fields: requestId").size(), 1u);
    EXPECT_EQ(protobufLines.Get(), 0);
}

// Status values the enumerations do not hold (a newer or broken launcher): the answer does not
// parse, so no listener sees a result the library cannot name. The next answers still arrive.
TEST_F(BadFramesTest, StatusValuesOutsideTheirEnumerationAreDropped) {
    ProtobufLines protobufLines;
    Connect();
    ServerListener server;
    ReaderListener reader;
    WriterListener writer;
    WriteListener write;
    RemoveListener remove;
    session_.GetHalyxServer(21, &server, 7, 1);
    session_.GetSavegameReader(22, &reader, 7, 1);
    session_.GetSavegameWriter(23, &writer, 7, 1, true);
    State().Write(24, &write, 7, 1, "abc", 3);
    session_.RemoveSavegame(25, &remove, 7, 1);
    for (int i = 0; i < 5; ++i) NextRequest();

    // Field numbers of the answer slots and of the status inside each.
    const std::string openFields = VarintField(1, 7) + VarintField(2, 1);
    const std::string bodies[] = {
        VarintField(1, 21) + BytesField(4, VarintField(2, 2)),
        VarintField(1, 22) + BytesField(6, openFields + VarintField(3, 4)),
        VarintField(1, 22) + BytesField(6, openFields + VarintField(3, 0xFFFFFFFFFFFFFFFFull)),
        VarintField(1, 23) + BytesField(9, openFields + VarintField(3, 0x7FFFFFFF)),
        VarintField(1, 24) + BytesField(11, VarintField(1, 2) + VarintField(2, 3)),
        VarintField(1, 25) + BytesField(12, VarintField(1, 4)),
    };
    std::string bytes;
    for (const std::string& body : bodies) bytes += Frame(body);
    launcher_.SendBytes(bytes + Frame(RemoveAnswer(25, wire::RemoveSavegameRsp::Ok)));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
    EXPECT_EQ(remove.calls[0].value, 0u);
    PumpFor(&session_, 20);
    EXPECT_TRUE(server.calls.empty() && reader.calls.empty() && writer.calls.empty() &&
                write.calls.empty());
    EXPECT_EQ(ErrorLines("does not parse"), 6);
    EXPECT_EQ(
        LogCapture::Get().Matching("missing required fields: startReadSavegame.status").size(), 2u);
    EXPECT_EQ(protobufLines.Get(), 0);

    // The entries still wait, and take answers with known values.
    launcher_.SendBytes(Frame(OpenReadAnswer(22, 7, 1, wire::StartReadSavegameRsp::NotFound)) +
                        Frame(OpenWriteAnswer(23, 7, 1, wire::StartWriteSavegameRsp::SlotLocked)));
    ASSERT_TRUE(Pump([&] { return !reader.calls.empty() && !writer.calls.empty(); }));
    EXPECT_EQ(reader.calls[0].result, 1u);
    EXPECT_EQ(writer.calls[0].result, 2u);
}

// Slots the library does not know (a newer launcher): an answer with only such a slot is
// dropped with one line; one that also carries a served slot is served.
TEST_F(BadFramesTest, UnknownSlotsAreIgnoredAndAnAnswerWithOnlyThoseIsDropped) {
    Connect();
    RemoveListener remove;
    session_.RemoveSavegame(31, &remove, 7, 1);
    session_.RemoveSavegame(32, &remove, 7, 2);
    NextRequest();
    NextRequest();

    const std::string unknownSlot = BytesField(13, VarintField(1, 9));
    const std::string removeSlot = BytesField(12, VarintField(1, 1));
    launcher_.SendBytes(Frame(VarintField(1, 31) + unknownSlot) +
                        Frame(VarintField(1, 32) + unknownSlot + removeSlot) +
                        Frame(RemoveAnswer(31, wire::RemoveSavegameRsp::Locked)));
    ASSERT_TRUE(Pump([&] { return remove.calls.size() == 2; }));
    EXPECT_EQ(remove.calls[0].requestId, 32u);
    EXPECT_EQ(remove.calls[0].value, 1u);
    EXPECT_EQ(remove.calls[1].requestId, 31u);
    EXPECT_EQ(remove.calls[1].value, 2u);
    EXPECT_EQ(ErrorLines("Answer 31 carries nothing this library serves"), 1);
}

}  // namespace
}  // namespace testing
}  // namespace kx
