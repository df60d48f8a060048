// Savegame conversations: opening, reading in parts, writing, naming, closing, listing,
// removing, and list requests held back behind closed writers.
#include <cstring>
#include <memory>

#include "SessionFixture.h"

namespace kx {
namespace testing {
namespace {

using SavegameTest = SessionTest;

wire::Req Request(unsigned int id) {
    wire::Req request;
    request.set_requestid(id);
    return request;
}

TEST_F(SavegameTest, OpenForReadingMapsEveryStatus) {
    Connect();
    ReaderListener reader;
    for (unsigned int id = 1; id <= 4; ++id) session_.GetSavegameReader(id, &reader, 7, 3);
    for (int i = 0; i < 4; ++i) NextRequest();
    // The handle takes product and slot from the answer, not from the request.
    launcher_.SendBytes(Frame(OpenReadAnswer(1, 70, 30, wire::StartReadSavegameRsp::Ok)) +
                        Frame(OpenReadAnswer(2, 7, 3, wire::StartReadSavegameRsp::NotFound)) +
                        Frame(OpenReadAnswer(3, 7, 3, wire::StartReadSavegameRsp::SlotLocked)) +
                        Frame(OpenReadAnswer(4, 7, 3, wire::StartReadSavegameRsp::Failed)));
    ASSERT_TRUE(Pump([&] { return reader.calls.size() == 4; }));
    const unsigned int results[] = {0, 1, 2, 3};
    for (unsigned int i = 0; i < 4; ++i) {
        EXPECT_EQ(reader.calls[i].result, results[i]);
        EXPECT_EQ(reader.calls[i].reader != nullptr, i == 0);
    }

    reader.calls[0].reader->Close();
    wire::Req stop = Request(1);
    stop.mutable_stopreadsavegame()->set_productid(70);
    stop.mutable_stopreadsavegame()->set_slotid(30);
    std::string frame;
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(stop));

    const std::vector<LogCapture::Line> lines = LogCapture::Get().Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Unknown error caused open for read to fail.");
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_NE(lines[0].file.find("halyxdll_internal"), std::string::npos);
}

TEST_F(SavegameTest, OpenForWritingSwapsTheWireCodesOfLockedAndOverwriteRefused) {
    Connect();
    WriterListener writer;
    for (unsigned int id = 1; id <= 4; ++id) session_.GetSavegameWriter(id, &writer, 7, 3, false);
    for (int i = 0; i < 4; ++i) NextRequest();
    launcher_.SendBytes(
        Frame(OpenWriteAnswer(1, 70, 30, wire::StartWriteSavegameRsp::Ok)) +
        Frame(OpenWriteAnswer(2, 7, 3, wire::StartWriteSavegameRsp::SlotLocked)) +
        Frame(OpenWriteAnswer(3, 7, 3, wire::StartWriteSavegameRsp::OverWriteNotAllowed)) +
        Frame(OpenWriteAnswer(4, 7, 3, wire::StartWriteSavegameRsp::Failed)));
    ASSERT_TRUE(Pump([&] { return writer.calls.size() == 4; }));
    const unsigned int results[] = {0, 2, 1, 3};
    for (unsigned int i = 0; i < 4; ++i) {
        EXPECT_EQ(writer.calls[i].result, results[i]);
        EXPECT_EQ(writer.calls[i].writer != nullptr, i == 0);
    }

    // Closed without a name: "Unnamed", with the answer's product and slot.
    writer.calls[0].writer->Close(false);
    wire::Req stop = Request(1);
    wire::StopWriteSavegameReq* fields = stop.mutable_stopwritesavegame();
    fields->set_productid(70);
    fields->set_slotid(30);
    fields->set_name("Unnamed");
    fields->set_persist(false);
    std::string frame;
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(stop));

    const std::vector<LogCapture::Line> lines = LogCapture::Get().Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Unknown error caused open for write to fail.");
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_NE(lines[0].file.find("halyxdll_internal"), std::string::npos);
}

TEST_F(SavegameTest, ReadInTwoPartsFillsTheBufferAndReportsTheLastPart) {
    Connect();
    SavegameReader* reader = OpenReader(7, 3);
    ASSERT_NE(reader, nullptr);
    std::vector<char> buffer(1500, 0);
    ReadListener read;
    reader->Read(11, &read, 2000, buffer.data(), 1500);
    wire::Req expected = Request(11);
    wire::ReadSavegameReq* fields = expected.mutable_readsavegame();
    fields->set_productid(7);
    fields->set_slotid(3);
    fields->set_offset(2000);
    fields->set_numbytes(1500);
    std::string frame;
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));

    const std::string first(1000, 'a');
    const std::string second(500, 'b');
    launcher_.Send(ReadPartAnswer(11, first, 0, false));
    PumpFor(&session_, 30);
    EXPECT_TRUE(read.calls.empty()) << "no call before the last part";
    launcher_.Send(ReadPartAnswer(11, second, 1000, true));
    ASSERT_TRUE(Pump([&] { return !read.calls.empty(); }));
    EXPECT_EQ(read.calls[0].value, 500u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), first + second);
    reader->Close();
}

TEST_F(SavegameTest, TwoReadsOnOneReaderAreServedEachToItsOwnListener) {
    Connect();
    SavegameReader* reader = OpenReader(7, 3);
    ASSERT_NE(reader, nullptr);
    char first[4] = {};
    char second[4] = {};
    ReadListener firstRead;
    ReadListener secondRead;
    KxHalyxdllSaveGameReaderRead(reader, 21, &firstRead, 0, first, 4);
    KxHalyxdllSaveGameReaderRead(reader, 22, &secondRead, 4, second, 4);
    NextRequest();
    NextRequest();
    launcher_.SendBytes(Frame(ReadPartAnswer(22, "efgh", 0, true)) +
                        Frame(ReadPartAnswer(21, "abc", 0, true)));
    ASSERT_TRUE(Pump([&] { return !firstRead.calls.empty() && !secondRead.calls.empty(); }));
    EXPECT_EQ(firstRead.calls[0].value, 3u);
    EXPECT_EQ(secondRead.calls[0].value, 4u);
    EXPECT_EQ(std::string(first, 3), "abc");
    EXPECT_EQ(std::string(second, 4), "efgh");
    KxHalyxdllSaveGameReaderClose(reader);
}

TEST_F(SavegameTest, ReadWithoutListenerIsSentButNeverWritesTheBuffer) {
    Connect();
    SavegameReader* reader = OpenReader(7, 3);
    ASSERT_NE(reader, nullptr);
    char buffer[8] = "zzzzzzz";
    reader->Read(31, nullptr, 0, buffer, 7);
    EXPECT_TRUE(NextRequest().has_readsavegame());
    RemoveListener remove;
    session_.RemoveSavegame(32, &remove, 7, 3);
    NextRequest();
    launcher_.SendBytes(Frame(ReadPartAnswer(31, "abcdefg", 0, true)) +
                        Frame(RemoveAnswer(32, wire::RemoveSavegameRsp::Ok)));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
    EXPECT_STREQ(buffer, "zzzzzzz");
    reader->Close();
}

// A faulty launcher must not write past the game's buffer, however its offsets are chosen.
TEST_F(SavegameTest, ReadPartsAreCutToTheGamesBuffer) {
    Connect();
    SavegameReader* reader = OpenReader(7, 3);
    ASSERT_NE(reader, nullptr);
    const char kGuard = '#';
    std::vector<char> memory(100 + 64, kGuard);
    ReadListener read;
    reader->Read(41, &read, 0, memory.data(), 100);
    reader->Read(42, &read, 0, memory.data(), 100);
    reader->Read(43, &read, 0, memory.data(), 100);
    for (int i = 0; i < 3; ++i) NextRequest();

    launcher_.SendBytes(Frame(ReadPartAnswer(41, std::string(100, 'x'), 50, true)) +
                        Frame(ReadPartAnswer(42, std::string(32, 'y'), 0xFFFFFFF0u, true)) +
                        Frame(ReadPartAnswer(43, std::string(8, 'z'), 100, true)));
    ASSERT_TRUE(Pump([&] { return read.calls.size() == 3; }));
    EXPECT_EQ(read.calls[0].value, 50u) << "only what lies within the buffer is copied";
    EXPECT_EQ(read.calls[1].value, 0u) << "an offset near 2^32 must not wrap around";
    EXPECT_EQ(read.calls[2].value, 0u);
    EXPECT_EQ(std::string(memory.begin() + 50, memory.begin() + 100), std::string(50, 'x'));
    EXPECT_EQ(std::string(memory.begin(), memory.begin() + 50), std::string(50, kGuard));
    EXPECT_EQ(std::string(memory.begin() + 100, memory.end()), std::string(64, kGuard));
    EXPECT_EQ(LogCapture::Get().Matching("reaches beyond the game's buffer").size(), 3u);
    reader->Close();
}

TEST_F(SavegameTest, WriteSendsTheDataAsItWasAtTheCall) {
    Connect();
    SavegameWriter* writer = OpenWriter(7, 3);
    ASSERT_NE(writer, nullptr);
    char data[] = "first";
    WriteListener write;
    writer->Write(51, &write, data, 5);
    std::memcpy(data, "XXXXX", 5);
    KxHalyxdllSaveGameWriterWrite(writer, 52, &write, "", 0);
    wire::Req expected = Request(51);
    wire::WriteSavegameReq* fields = expected.mutable_writesavegame();
    fields->set_productid(7);
    fields->set_slotid(3);
    fields->set_data("first");
    std::string frame;
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));
    EXPECT_EQ(NextRequest().writesavegame().data(), "") << "an empty write still goes out";

    launcher_.SendBytes(Frame(WriteAnswer(52, wire::WriteSavegameRsp::WriteFailed, 0)) +
                        Frame(WriteAnswer(51, wire::WriteSavegameRsp::Ok, 5)));
    ASSERT_TRUE(Pump([&] { return write.calls.size() == 2; }));
    EXPECT_EQ(write.calls[0].requestId, 52u);
    EXPECT_EQ(write.calls[0].value, 0u);
    EXPECT_EQ(write.calls[1].value, 5u);
    writer->Close(true);
}

// A write that one message cannot carry would make the launcher drop the connection: it is
// refused inside the call, and the connection serves the next write.
TEST_F(SavegameTest, AWriteTooLargeForOneMessageIsRefusedInTheCall) {
    Connect();
    SavegameWriter* writer = OpenWriter(7, 3);
    ASSERT_NE(writer, nullptr);
    const unsigned int tooLarge = SavegameWriter::kMaxWriteByteCount + 1;
    // Never read: the refusal comes before the copy.
    std::unique_ptr<char[]> data(new char[tooLarge]);
    WriteListener write;
    writer->Write(53, &write, data.get(), tooLarge);
    ASSERT_EQ(write.calls.size(), 1u);
    EXPECT_EQ(write.calls[0].value, 0u);
    writer->Write(54, &write, "ok", 2);
    EXPECT_EQ(NextRequest().requestid(), 54u) << "nothing went out for the refused write";
    launcher_.Send(WriteAnswer(54, wire::WriteSavegameRsp::Ok, 2));
    ASSERT_TRUE(Pump([&] { return write.calls.size() == 2; }));
    EXPECT_EQ(write.calls[1].value, 2u);
    writer->Close(true);
}

// What SetName answered for each name, and the name that the stop-write request carried.
struct Naming {
    std::vector<bool> accepted;
    std::string sent;
};

TEST_F(SavegameTest, NameLimitsAndTheNameThatCloseSends) {
    Connect();
    // Sets `names` one after the other on a new writer and closes it.
    auto nameAndClose = [&](const std::vector<std::u16string>& names) {
        Naming result;
        SavegameWriter* writer = OpenWriter(7, 3);
        if (writer == nullptr) return result;
        for (const std::u16string& name : names) {
            result.accepted.push_back(KxHalyxdllSaveGameWriterSetName(writer, Units(name)));
        }
        KxHalyxdllSaveGameWriterClose(writer, true);
        const wire::Req stop = NextRequest();
        EXPECT_EQ(stop.requestid(), 1u);
        EXPECT_TRUE(stop.stopwritesavegame().persist());
        result.sent = stop.stopwritesavegame().name();
        launcher_.Send(StopWriteAnswer(1));
        return result;
    };

    std::string longestUtf8;
    for (int i = 0; i < 255; ++i) longestUtf8 += "\xc3\xa9";
    Naming naming = nameAndClose({std::u16string(255, u'\u00e9')});
    EXPECT_EQ(naming.accepted, std::vector<bool>({true})) << "255 units are allowed";
    EXPECT_EQ(naming.sent, longestUtf8);

    naming = nameAndClose({u"Before", std::u16string(256, u'a')});
    EXPECT_EQ(naming.accepted, std::vector<bool>({true, false})) << "256 units are not";
    EXPECT_EQ(naming.sent, "Before");

    naming = nameAndClose({u"Before", u""});
    EXPECT_EQ(naming.accepted, std::vector<bool>({true, true}));
    EXPECT_EQ(naming.sent, "");

    naming = nameAndClose({});
    EXPECT_EQ(naming.sent, "Unnamed");

    // Text that is not UTF-16 is refused and keeps the name.
    naming = nameAndClose({u"Caf\u00e9 \U0001F600", std::u16string(1, char16_t(0xD800))});
    EXPECT_EQ(naming.accepted, std::vector<bool>({true, false}));
    EXPECT_EQ(naming.sent, "Caf\xc3\xa9 \xf0\x9f\x98\x80");
}

TEST_F(SavegameTest, ListGivesNamesSizesSlotsAndTheRequestsProductId) {
    Connect();
    ListListener list;
    session_.GetSavegameList(61, &list, 42);
    session_.GetSavegameList(62, &list, 42);
    NextRequest();
    NextRequest();
    const std::string street = "Stra\xc3\x9f\x65 \xe2\x82\xac";  // "Straße €"
    launcher_.SendBytes(Frame(ListAnswer(61, {{street, 3, 1024}, {"plain", 9, 0}})) +
                        Frame(ListAnswer(62, {})));
    ASSERT_TRUE(Pump([&] { return list.calls.size() == 2; }));
    ASSERT_EQ(list.calls[0].savegames.size(), 2u);
    const ListedSavegame& first = list.calls[0].savegames[0];
    EXPECT_EQ(first.name, std::u16string(u"Stra\u00dfe \u20ac"));
    EXPECT_EQ(first.savegameId, 3u);
    EXPECT_EQ(first.size, 1024u);
    EXPECT_EQ(first.productId, 42u);
    EXPECT_EQ(list.calls[0].savegames[1].name, u"plain");
    EXPECT_EQ(list.calls[0].savegames[1].productId, 42u);
    EXPECT_TRUE(list.calls[1].savegames.empty()) << "an empty list gives count 0";
}

TEST_F(SavegameTest, ListWaitsForTheStopWriteOfAClosedWriter) {
    Connect();
    SavegameWriter* writer = OpenWriter(7, 3);
    ASSERT_NE(writer, nullptr);
    writer->Close(true);
    NextRequest();
    ListListener list;
    session_.GetSavegameList(71, &list, 7);
    PumpFor(&session_, 30);
    EXPECT_TRUE(launcher_.NoRequestWithin(30));

    // The Update that handles the stop-write answer sends the list request.
    launcher_.Send(StopWriteAnswer(1));
    wire::Req request;
    ASSERT_TRUE(Pump([&] { return launcher_.TryNextRequest(&request); }));
    EXPECT_EQ(request.requestid(), 71u);
    EXPECT_EQ(request.listsavegames().productid(), 7u);
    EXPECT_TRUE(list.calls.empty());
    launcher_.Send(ListAnswer(71, {}));
    ASSERT_TRUE(Pump([&] { return !list.calls.empty(); }));
}

TEST_F(SavegameTest, HeldBackListsGoOutNewestFirstAfterTheLastStopWrite) {
    Connect();
    SavegameWriter* first = OpenWriter(7, 3);
    SavegameWriter* second = OpenWriter(7, 4);
    ASSERT_TRUE(first != nullptr && second != nullptr);
    first->Close(true);
    second->Close(true);
    NextRequest();
    NextRequest();
    ListListener list;
    session_.GetSavegameList(81, &list, 7);
    session_.GetSavegameList(82, nullptr, 7);

    launcher_.Send(StopWriteAnswer(1));
    PumpFor(&session_, 30);
    EXPECT_TRUE(launcher_.NoRequestWithin(20)) << "one stop-write is still outstanding";

    launcher_.Send(StopWriteAnswer(1));
    wire::Req request;
    ASSERT_TRUE(Pump([&] { return launcher_.TryNextRequest(&request); }));
    EXPECT_EQ(request.requestid(), 82u);
    EXPECT_EQ(NextRequest().requestid(), 81u);
}

// More stop-write answers than stop-writes must not hold back list requests for good.
TEST_F(SavegameTest, StopWriteAnswerWithNoneOutstandingIsIgnored) {
    Connect();
    launcher_.Send(StopWriteAnswer(1));
    ASSERT_TRUE(Pump([] {
        return LogCapture::Get().Matching("without a stop-write outstanding").size() == 1u;
    }));
    ListListener list;
    session_.GetSavegameList(91, &list, 7);
    EXPECT_EQ(NextRequest().requestid(), 91u);
}

TEST_F(SavegameTest, RemoveReportsTheStatusAsItsResult) {
    Connect();
    RemoveListener remove;
    session_.RemoveSavegame(95, &remove, 7, 3);
    wire::Req expected = Request(95);
    expected.mutable_removesavegame()->set_productid(7);
    expected.mutable_removesavegame()->set_slotid(3);
    std::string frame;
    NextRequest(&frame);
    EXPECT_EQ(frame, Frame(expected));
    launcher_.Send(RemoveAnswer(95, wire::RemoveSavegameRsp::Locked));
    ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
    EXPECT_EQ(remove.calls[0].value, 2u);
}

}  // namespace
}  // namespace testing
}  // namespace kx
