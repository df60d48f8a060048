// The launcher's byte stream cut at every position: the answers, and the bad frames among them,
// must come out the same wherever the reads happen to end.
#include <string>
#include <vector>

#include "HalyxDll.pb.h"
#include "SessionFixture.h"
#include "kx/clientbox/DropLog.h"
#include "kx/clientbox/PBConnection.h"

namespace kx {
namespace testing {
namespace {

using kx::clientbox::Buffer;
using kx::clientbox::PBConnection;
using kx::clientbox::Socket;
using kx::common::SharedPtr;
namespace pb = kx::protocol::halyxdll;

// A socket without a pipe: what the test hands it is what it has received. Its received
// signal is never emitted; the test runs the connection's handler itself.
class MemorySocket final : public Socket {
public:
    // Adds `bytes` to what has been received, in buffers of at most Buffer::kSize.
    void Deliver(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += Buffer::kSize) {
            SharedPtr<Buffer> buffer(new Buffer);
            const std::size_t rest = bytes.size() - at;
            buffer->Write(bytes.data() + at,
                          static_cast<unsigned>(rest < Buffer::kSize ? rest : Buffer::kSize));
            buffer->Seal();
            if (!last_) {
                received_ = buffer;
            } else {
                last_->SetNext(buffer);
            }
            last_ = buffer;
        }
    }
    void Send(SharedPtr<Buffer>& chain) override { chain.Reset(); }
    void Close() override { closed_ = true; }
    SharedPtr<Buffer> Receive() override {
        SharedPtr<Buffer> chain = received_;
        received_.Reset();
        last_.Reset();
        return chain;
    }
    bool IsClosed() const override { return closed_; }
    bool IsListening() const override { return false; }

private:
    SharedPtr<Buffer> received_;
    SharedPtr<Buffer> last_;
    bool closed_ = false;
};

// Plays `stream` into a fresh connection in pieces ending at `cuts`, taking every message after
// each piece; returns the encodings of the messages taken.
std::vector<std::string> Unframe(const std::string& stream, const std::vector<std::size_t>& cuts) {
    MemorySocket* socket = new MemorySocket;
    const SharedPtr<Socket> socketRef(socket);
    const SharedPtr<PBConnection> connection(new PBConnection(socketRef));
    std::vector<std::string> taken;
    std::size_t from = 0;
    pb::Rsp answer;
    for (const std::size_t to : cuts) {
        socket->Deliver(stream.substr(from, to - from));
        from = to;
        connection->OnData();
        while (connection->TryReceive(&answer)) taken.push_back(answer.SerializeAsString());
    }
    EXPECT_FALSE(connection->IsClosed());
    return taken;
}

// Exhaustive over every way to cut the stream into up to three pieces, without a pipe, so each
// cut is exactly a read boundary.
TEST(SplitStreamTest, EveryCutIntoThreePiecesUnframesTheSameAnswers) {
    pb::Rsp login;
    login.set_requestid(1);
    login.mutable_getlogindetails()->set_username("user");
    login.mutable_getlogindetails()->set_password("password");
    login.mutable_getlogindetails()->set_cdkey("key");
    pb::Rsp part;
    part.set_requestid(2);
    part.mutable_readsavegame()->set_data(std::string(30, 'd'));
    part.mutable_readsavegame()->set_requestoffset(0);
    part.mutable_readsavegame()->set_islastpart(true);
    pb::Rsp remove;
    remove.set_requestid(3);
    remove.mutable_removesavegame()->set_status(pb::RemoveSavegameRsp::Locked);
    pb::Rsp incomplete = remove;
    incomplete.mutable_removesavegame()->clear_status();
    const std::string stream = Frame(login) + Frame(std::string(12, '\xFF')) + Frame(part) +
                               Frame(incomplete) + Frame(remove);
    const std::vector<std::string> expected = {login.SerializeAsString(), part.SerializeAsString(),
                                               remove.SerializeAsString()};

    const std::size_t n = stream.size();
    for (std::size_t first = 1; first < n; ++first) {
        for (std::size_t second = first + 1; second <= n; ++second) {
            LogCapture::Get().Clear();
            ASSERT_EQ(Unframe(stream, {first, second, n}), expected)
                << "cut at " << first << " and " << second;
            ASSERT_EQ(LogCapture::Get().Matching("does not parse").size(), 2u);
        }
    }
}

// A frame longer than one buffer, cut anywhere in two, arrives whole and unchanged.
TEST(SplitStreamTest, EveryCutOfAFrameLongerThanABuffer) {
    pb::Rsp part;
    part.set_requestid(4);
    std::string data(5000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + (i >> 8));
    part.mutable_readsavegame()->set_data(data);
    part.mutable_readsavegame()->set_requestoffset(0);
    part.mutable_readsavegame()->set_islastpart(false);
    pb::Rsp remove;
    remove.set_requestid(5);
    remove.mutable_removesavegame()->set_status(pb::RemoveSavegameRsp::Ok);
    const std::string stream = Frame(part) + Frame(remove);
    const std::vector<std::string> expected = {part.SerializeAsString(),
                                               remove.SerializeAsString()};
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        ASSERT_EQ(Unframe(stream, {cut, stream.size()}), expected) << "cut at " << cut;
    }
}

using SplitSessionTest = SessionTest;

// The same through the session over the real pipe, cut once at every position, with an
// Update between the two writes: each answer reaches its listener once, with its content.
TEST_F(SplitSessionTest, AnswersCutAtEveryPositionReachTheirListeners) {
    Connect();
    const std::string stream = Frame(LoginAnswer(11, "J\xc3\xb6rg", "pw", "key")) +
                               Frame(ReadPartAnswer(12, "abcdefgh", 0, true)) +
                               Frame(std::string(12, '\xFF')) +
                               Frame(ListAnswer(13, {{"one", 1, 10}, {"two", 2, 20}})) +
                               Frame(RemoveAnswer(14, wire::RemoveSavegameRsp::NotFound));
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        LoginListener login;
        ReadListener read;
        ListListener list;
        RemoveListener remove;
        char buffer[8] = {};
        session_.GetLoginDetails(11, &login);
        State().Read(12, &read, 7, 1, 0, buffer, sizeof(buffer));
        session_.GetSavegameList(13, &list, 7);
        session_.RemoveSavegame(14, &remove, 7, 1);
        for (int i = 0; i < 4; ++i) NextRequest();
        LogCapture::Get().Clear();

        launcher_.SendBytes(stream.substr(0, cut));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        session_.Update();
        launcher_.SendBytes(stream.substr(cut));
        ASSERT_TRUE(Pump([&] { return !remove.calls.empty(); }));
        ASSERT_EQ(login.calls.size(), 1u);
        EXPECT_EQ(login.calls[0].userName, "J\xc3\xb6rg");
        ASSERT_EQ(read.calls.size(), 1u);
        EXPECT_EQ(read.calls[0].value, 8u);
        EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
        ASSERT_EQ(list.calls.size(), 1u);
        EXPECT_EQ(list.calls[0].savegames.size(), 2u);
        EXPECT_EQ(remove.calls[0].value, 1u);
        // One line per dropped frame until the drop log turns to summaries.
        if (cut <= kx::clientbox::DropLog::kLinesInFull) {
            EXPECT_EQ(LogCapture::Get().Matching("does not parse").size(), 1u);
        }
    }
}

}  // namespace
}  // namespace testing
}  // namespace kx
