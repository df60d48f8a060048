// The peer's two services over a real pipe, as the bench meets them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HalyxDll.pb.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"
#include "peer/LauncherService.h"
#include "peer/RawService.h"
#include "shared/PeerContract.h"
#include "shared/SavegameImage.h"

namespace kx {
namespace bench {
namespace {

namespace wire = protocol::halyxdll;
using testing::kPatience;
using testing::PipeEnd;

const unsigned char* Savegame() {
    static const std::vector<unsigned char> image = [] {
        std::vector<unsigned char> bytes(kSavegameSize);
        FillSavegame(bytes.data(), 0, kSavegameSize);
        return bytes;
    }();
    return image.data();
}

// The pipes of this program are served in a pipe namespace of its own.
const bool g_isolated = (testing::IsolatePipeNamespace(), true);

// One service of type Service on a fresh pipe, serving the one client the test connects, as
// the peer serves each of its clients.
template <typename Service>
class ServedPipe {
public:
    ServedPipe() : server_(testing::UniquePipeName("halyx_bench_test")) {
        EXPECT_TRUE(server_.IsServing());
        client_ = testing::ConnectPipe(server_.GetName());
        EXPECT_TRUE(client_ != nullptr);
        serving_ = std::thread([this] {
            std::unique_ptr<PipeEnd> end = server_.Accept(kPatience);
            if (end) Service(end.get(), Savegame()).Run();
        });
    }
    // Closing the client ends the service.
    ~ServedPipe() {
        client_.reset();
        serving_.join();
    }
    PipeEnd& Client() { return *client_; }

private:
    testing::PipeServer server_;
    std::unique_ptr<PipeEnd> client_;
    std::thread serving_;
};

TEST(RawServiceTest, StreamsSinksAndPingPongs) {
    ServedPipe<RawService> pipe;
    ASSERT_TRUE(SendRawCommand(pipe.Client(), RawCommand::kStream, 300000, 65536, 0));
    std::vector<unsigned char> streamed(300000);
    ASSERT_TRUE(pipe.Client().ReadExact(streamed.data(), streamed.size(), kPatience));
    EXPECT_EQ(300000u, MatchingSavegamePrefix(streamed.data(), 0, 300000));

    ASSERT_TRUE(SendRawCommand(pipe.Client(), RawCommand::kSink, 100000, 4096, 0));
    const std::vector<unsigned char> written(100000, 7);
    ASSERT_TRUE(pipe.Client().WriteAll(written.data(), written.size()));
    unsigned char done[4];
    ASSERT_TRUE(pipe.Client().ReadExact(done, sizeof(done), kPatience));

    ASSERT_TRUE(SendRawCommand(pipe.Client(), RawCommand::kPingPong, 0, 8, 120));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(pipe.Client().WriteAll("12345678", 8));
        unsigned char reply[120];
        ASSERT_TRUE(pipe.Client().ReadExact(reply, sizeof(reply), kPatience));
    }
}

class LauncherServiceTest : public ::testing::Test {
protected:
    void Send(const wire::Req& request) {
        const std::string body = request.SerializeAsString();
        std::string frame;
        for (int shift = 24; shift >= 0; shift -= 8) {
            frame += static_cast<char>(body.size() >> shift);
        }
        ASSERT_TRUE(pipe_.Client().WriteAll((frame + body).data(), frame.size() + body.size()));
    }

    wire::Rsp Receive() {
        wire::Rsp answer;
        unsigned char prefix[4];
        EXPECT_TRUE(pipe_.Client().ReadExact(prefix, sizeof(prefix), kPatience));
        const uint32_t length = (static_cast<uint32_t>(prefix[0]) << 24) |
                                (static_cast<uint32_t>(prefix[1]) << 16) |
                                (static_cast<uint32_t>(prefix[2]) << 8) | prefix[3];
        std::string body(length, '\0');
        EXPECT_TRUE(pipe_.Client().ReadExact(&body[0], length, kPatience));
        EXPECT_TRUE(answer.ParseFromString(body));
        return answer;
    }

    wire::Req Read(uint32_t id, uint32_t slot, uint32_t offset, uint32_t count) {
        wire::Req request;
        request.set_requestid(id);
        wire::ReadSavegameReq* read = request.mutable_readsavegame();
        read->set_productid(1);
        read->set_slotid(slot);
        read->set_offset(offset);
        read->set_numbytes(count);
        return request;
    }

    ServedPipe<LauncherService> pipe_;
};

TEST_F(LauncherServiceTest, AnswersLoginOpenAndWrite) {
    wire::Req login;
    login.set_requestid(5);
    login.mutable_getlogindetails();
    Send(login);
    const wire::Rsp details = Receive();
    EXPECT_EQ(5u, details.requestid());
    EXPECT_EQ(kUserName, details.getlogindetails().username());
    EXPECT_EQ(kPassword, details.getlogindetails().password());
    EXPECT_EQ(kCdKey, details.getlogindetails().cdkey());

    wire::Req open;
    open.set_requestid(6);
    open.mutable_startwritesavegame()->set_productid(3);
    open.mutable_startwritesavegame()->set_slotid(4);
    open.mutable_startwritesavegame()->set_overwriteexisting(true);
    Send(open);
    const wire::Rsp opened = Receive();
    EXPECT_EQ(wire::StartWriteSavegameRsp::Ok, opened.startwritesavegame().status());
    EXPECT_EQ(4u, opened.startwritesavegame().slotid());

    wire::Req write;
    write.set_requestid(7);
    write.mutable_writesavegame()->set_productid(3);
    write.mutable_writesavegame()->set_slotid(4);
    write.mutable_writesavegame()->set_data(std::string(5000, 'w'));
    Send(write);
    const wire::Rsp written = Receive();
    EXPECT_EQ(7u, written.requestid());
    EXPECT_EQ(5000u, written.writesavegame().byteswritten());
}

TEST_F(LauncherServiceTest, ReadsComeInPartsOfTheSlotsSizeWithOffsetsFromTheRange) {
    const uint32_t start = 1000;
    const uint32_t count = 150000;
    Send(Read(9, SlotOfPartSize(65536), start, count));
    std::vector<unsigned char> assembled(count);
    uint32_t received = 0;
    const uint32_t expectedSizes[] = {65536, 65536, count - 2 * 65536};
    for (const uint32_t size : expectedSizes) {
        const wire::Rsp part = Receive();
        EXPECT_EQ(9u, part.requestid());
        ASSERT_EQ(size, part.readsavegame().data().size());
        EXPECT_EQ(received, part.readsavegame().requestoffset());
        EXPECT_EQ(received + size == count, part.readsavegame().islastpart());
        memcpy(assembled.data() + received, part.readsavegame().data().data(), size);
        received += size;
    }
    EXPECT_EQ(count, MatchingSavegamePrefix(assembled.data(), start, count));
}

TEST_F(LauncherServiceTest, ARangePastTheEndGetsWhatThereIsAndStopReadGoesUnanswered) {
    wire::Req stop;
    stop.set_requestid(1);
    stop.mutable_stopreadsavegame()->set_productid(1);
    stop.mutable_stopreadsavegame()->set_slotid(64);
    Send(stop);
    Send(Read(11, 64, kSavegameSize - 10, 100));
    // The first answer is the read's: the stop-read got none.
    const wire::Rsp part = Receive();
    EXPECT_EQ(11u, part.requestid());
    EXPECT_EQ(10u, part.readsavegame().data().size());
    EXPECT_TRUE(part.readsavegame().islastpart());

    Send(Read(12, 64, kSavegameSize + 5, 100));
    const wire::Rsp empty = Receive();
    EXPECT_EQ(12u, empty.requestid());
    EXPECT_EQ(0u, empty.readsavegame().data().size());
    EXPECT_TRUE(empty.readsavegame().islastpart());
}

}  // namespace
}  // namespace bench
}  // namespace kx
