#include "kx/devlauncher/Frame.h"

#include <gtest/gtest.h>

#include "HalyxDll.pb.h"
#include "kx/testing/Frame.h"

namespace kx {
namespace devlauncher {
namespace {

namespace pb = protocol::halyxdll;
using kx::testing::LengthPrefix;

TEST(FrameTest, EncodeWritesBigEndianLengthThenBody) {
    pb::Rsp rsp;
    rsp.set_requestid(7);
    rsp.mutable_getosi()->set_status(pb::GetOsiRsp::Ok);
    std::string frame;
    ASSERT_TRUE(EncodeFrame(rsp, &frame));
    EXPECT_EQ(frame, LengthPrefix(6) + std::string("\x08\x07\x22\x02\x10\x00", 6));

    EXPECT_EQ(FrameBody(std::string(0x010203, 'x')).substr(0, 4), LengthPrefix(0x010203));
}

TEST(FrameTest, EncodeRefusesMessagesMissingRequiredFields) {
    pb::Rsp rsp;  // no requestId
    rsp.mutable_removesavegame()->set_status(pb::RemoveSavegameRsp::Ok);
    std::string frame = "stale";
    EXPECT_FALSE(EncodeFrame(rsp, &frame));
    EXPECT_TRUE(frame.empty());
}

TEST(FrameTest, EncodeRefusesBodiesAboveTheLimit) {
    pb::Req req;
    req.set_requestid(1);
    pb::WriteSavegameReq* write = req.mutable_writesavegame();
    write->set_productid(1);
    write->set_slotid(1);
    write->set_data(std::string(kMaxFrameBody, 'x'));
    std::string frame;
    EXPECT_FALSE(EncodeFrame(req, &frame));
}

TEST(FrameTest, ReaderReassemblesFramesSplitAtEveryByte) {
    const std::string stream = FrameBody("first") + FrameBody("second body") + FrameBody("3");
    FrameReader reader;
    std::vector<std::string> bodies;
    std::string body;
    for (char byte : stream) {
        reader.Append(&byte, 1);
        while (reader.Next(&body) == FrameReader::Status::kFrame) {
            bodies.push_back(body);
        }
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"first", "second body", "3"}));
    EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(FrameTest, ReaderReturnsSeveralFramesFromOneAppendAndKeepsTheRest) {
    const std::string stream = FrameBody("a") + FrameBody("bb") + FrameBody("ccc").substr(0, 5);
    FrameReader reader;
    reader.Append(stream.data(), stream.size());
    std::string body;
    ASSERT_EQ(reader.Next(&body), FrameReader::Status::kFrame);
    EXPECT_EQ(body, "a");
    ASSERT_EQ(reader.Next(&body), FrameReader::Status::kFrame);
    EXPECT_EQ(body, "bb");
    EXPECT_EQ(reader.Next(&body), FrameReader::Status::kNeedMore);
    EXPECT_EQ(reader.Buffered(), 5u);
    reader.Append("cc", 2);
    ASSERT_EQ(reader.Next(&body), FrameReader::Status::kFrame);
    EXPECT_EQ(body, "ccc");
}

TEST(FrameTest, ZeroLengthBreaksTheStreamForGood) {
    const std::string stream = FrameBody("ok") + LengthPrefix(0) + FrameBody("after");
    FrameReader reader;
    reader.Append(stream.data(), stream.size());
    std::string body;
    ASSERT_EQ(reader.Next(&body), FrameReader::Status::kFrame);
    EXPECT_EQ(reader.Next(&body), FrameReader::Status::kZeroLength);
    EXPECT_EQ(reader.Next(&body), FrameReader::Status::kZeroLength);
}

TEST(FrameTest, OversizeIsRefusedFromTheHeaderAlone) {
    FrameReader reader;
    const std::string largest = LengthPrefix(kMaxFrameBody);
    reader.Append(largest.data(), largest.size());
    std::string body;
    EXPECT_EQ(reader.Next(&body), FrameReader::Status::kNeedMore);  // the limit itself is allowed

    FrameReader over;
    const std::string tooLarge = LengthPrefix(kMaxFrameBody + 1);
    over.Append(tooLarge.data(), tooLarge.size());
    EXPECT_EQ(over.Next(&body), FrameReader::Status::kTooLarge);
    const std::string huge = LengthPrefix(0xFFFFFFFFu);
    FrameReader worst;
    worst.Append(huge.data(), huge.size());
    EXPECT_EQ(worst.Next(&body), FrameReader::Status::kTooLarge);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
