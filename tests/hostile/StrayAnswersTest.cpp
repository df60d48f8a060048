// Answers that parse but that nobody waits for: ids never used, ids whose answer came already,
// read parts that fall outside the game's buffer. None may reach a listener twice, create a
// handle nobody takes, or touch the game's memory; the connection goes on.
#include "SessionFixture.h"

namespace kx {
namespace testing {
namespace {

using StrayAnswersTest = SessionTest;

// Every kind of answer for `id`, as a launcher would send them to a request of that id.
std::string EveryAnswerFor(unsigned int id) {
    return Frame(LoginAnswer(id, "user", "password", "key")) +
           Frame(ServerAnswer(id, wire::GetOsiRsp::Failed, nullptr)) +
           Frame(OpenReadAnswer(id, 7, 1, wire::StartReadSavegameRsp::Ok)) +
           Frame(OpenWriteAnswer(id, 7, 1, wire::StartWriteSavegameRsp::Ok)) +
           Frame(WriteAnswer(id, wire::WriteSavegameRsp::Ok, 3)) +
           Frame(ListAnswer(id, {{"one", 1, 10}})) + Frame(ReadPartAnswer(id, "WXYZ", 0, true)) +
           Frame(RemoveAnswer(id, wire::RemoveSavegameRsp::Ok));
}

// One listener of each kind, with a request of each kind pending under `id`.
struct EveryListener {
    LoginListener login;
    ServerListener server;
    ReaderListener reader;
    WriterListener writer;
    WriteListener write;
    ListListener list;
    ReadListener read;
    RemoveListener remove;

    std::size_t Calls() const {
        return login.calls.size() + server.calls.size() + reader.calls.size() +
               writer.calls.size() + write.calls.size() + list.calls.size() + read.calls.size() +
               remove.calls.size();
    }
};

// Answers for ids never requested, and for ids recorded without a listener, are dropped
// without a word; an Ok open answer creates no handle that nobody would close.
TEST_F(StrayAnswersTest, AnswersNobodyWaitsForAreDroppedSilently) {
    Connect();
    char buffer[4] = {'#', '#', '#', '#'};
    session_.GetLoginDetails(8, nullptr);
    session_.GetSavegameReader(8, nullptr, 7, 1);
    session_.GetSavegameWriter(8, nullptr, 7, 1, true);
    State().Read(8, nullptr, 7, 1, 0, buffer, sizeof(buffer));
    for (int i = 0; i < 4; ++i) NextRequest();
    RemoveListener waiting;
    session_.RemoveSavegame(9, &waiting, 7, 1);
    NextRequest();
    LogCapture::Get().Clear();

    launcher_.SendBytes(EveryAnswerFor(77) + EveryAnswerFor(8) + EveryAnswerFor(0) +
                        Frame(RemoveAnswer(9, wire::RemoveSavegameRsp::NotFound)));
    ASSERT_TRUE(Pump([&] { return !waiting.calls.empty(); }));
    EXPECT_EQ(waiting.calls.size(), 1u);
    EXPECT_EQ(waiting.calls[0].value, 1u);
    EXPECT_EQ(std::string(buffer, 4), "####");
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
    EXPECT_FALSE(State().GetConnection()->IsClosed());
}

// A second answer to one request, in the same write or later, finds no entry. A read part
// after the last one must not write into the buffer the game has been given back.
TEST_F(StrayAnswersTest, DuplicateAnswersReachTheListenerOnce) {
    Connect();
    EveryListener listeners;
    char buffer[4] = {'#', '#', '#', '#'};
    session_.GetLoginDetails(11, &listeners.login);
    session_.GetHalyxServer(12, &listeners.server, 7, 1);
    session_.GetSavegameReader(13, &listeners.reader, 7, 1);
    session_.GetSavegameWriter(14, &listeners.writer, 7, 1, true);
    State().Write(15, &listeners.write, 7, 1, "abc", 3);
    session_.GetSavegameList(16, &listeners.list, 7);
    State().Read(17, &listeners.read, 7, 1, 0, buffer, sizeof(buffer));
    session_.RemoveSavegame(18, &listeners.remove, 7, 1);
    for (int i = 0; i < 8; ++i) NextRequest();
    LogCapture::Get().Clear();

    const std::string answers = Frame(LoginAnswer(11, "user", "password", "key")) +
                                Frame(ServerAnswer(12, wire::GetOsiRsp::Failed, nullptr)) +
                                Frame(OpenReadAnswer(13, 7, 1, wire::StartReadSavegameRsp::Ok)) +
                                Frame(OpenWriteAnswer(14, 7, 1, wire::StartWriteSavegameRsp::Ok)) +
                                Frame(WriteAnswer(15, wire::WriteSavegameRsp::Ok, 3)) +
                                Frame(ListAnswer(16, {})) +
                                Frame(ReadPartAnswer(17, "abcd", 0, true)) +
                                Frame(RemoveAnswer(18, wire::RemoveSavegameRsp::Ok));
    launcher_.SendBytes(answers + answers);
    ASSERT_TRUE(Pump([&] { return listeners.Calls() == 8; }));
    launcher_.SendBytes(answers + Frame(ReadPartAnswer(17, "WXYZ", 0, false)));
    PumpFor(&session_, 50);
    EXPECT_EQ(listeners.Calls(), 8u) << "one call per request";
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
    EXPECT_FALSE(State().GetConnection()->IsClosed());
    listeners.reader.calls[0].reader->Close();
    listeners.writer.calls[0].writer->Close(false);
}

// Parts beside the requested range are cut to the game's buffer, one line each, and parts
// within it still land; a read of 0 bytes into no buffer takes nothing.
TEST_F(StrayAnswersTest, ReadPartsOutsideTheRangeLeaveTheGamesMemoryAlone) {
    Connect();
    std::vector<char> memory(64 + 8 + 64, '#');
    char* const buffer = memory.data() + 64;
    ReadListener read;
    State().Read(41, &read, 7, 1, 0, buffer, 8);
    State().Read(42, &read, 7, 1, 0, nullptr, 0);
    NextRequest();
    NextRequest();
    LogCapture::Get().Clear();

    launcher_.SendBytes(
        Frame(ReadPartAnswer(41, "0123", 8, false)) + Frame(ReadPartAnswer(41, "abcd", 0, false)) +
        Frame(ReadPartAnswer(41, std::string(64, 'x'), 0x80000000u, false)) +
        Frame(ReadPartAnswer(41, "efghij", 4, true)) + Frame(ReadPartAnswer(42, "zz", 0, true)));
    ASSERT_TRUE(Pump([&] { return read.calls.size() == 2; }));
    EXPECT_EQ(read.calls[0].requestId, 41u);
    EXPECT_EQ(read.calls[0].value, 4u) << "the bytes of the last part that were copied";
    EXPECT_EQ(read.calls[1].requestId, 42u);
    EXPECT_EQ(read.calls[1].value, 0u);
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
    EXPECT_EQ(std::string(memory.begin(), memory.begin() + 64), std::string(64, '#'));
    EXPECT_EQ(std::string(memory.end() - 64, memory.end()), std::string(64, '#'));
    EXPECT_EQ(LogCapture::Get().Matching("reaches beyond the game's buffer").size(), 4u);
    for (const LogCapture::Line& line : LogCapture::Get().Lines()) {
        EXPECT_NE(line.text.find("reaches beyond the game's buffer"), std::string::npos)
            << line.text;
    }
}

}  // namespace
}  // namespace testing
}  // namespace kx
