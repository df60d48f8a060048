#include "kx/devlauncher/AnswerChannel.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "RequestBuilders.h"
#include "kx/devlauncher/Frame.h"

namespace kx {
namespace devlauncher {
namespace {

using namespace testing;  // request builders

// Keeps every write call separately.
class RecordingWriter : public ByteWriter {
public:
    bool Write(const char* data, std::size_t size) override {
        writes.emplace_back(data, size);
        return !broken;
    }
    std::string All() const {
        std::string all;
        for (const std::string& write : writes) {
            all += write;
        }
        return all;
    }

    std::vector<std::string> writes;
    bool broken = false;
};

pb::Rsp RemoveAnswer(std::uint32_t id) {
    pb::Rsp rsp;
    rsp.set_requestid(id);
    rsp.mutable_removesavegame()->set_status(pb::RemoveSavegameRsp::Ok);
    return rsp;
}

pb::Rsp ReadPartAnswer(std::uint32_t id, std::uint32_t offset, const std::string& data) {
    pb::Rsp rsp;
    rsp.set_requestid(id);
    rsp.mutable_readsavegame()->set_data(data);
    rsp.mutable_readsavegame()->set_requestoffset(offset);
    rsp.mutable_readsavegame()->set_islastpart(false);
    return rsp;
}

// Splits what was written into frames and parses each as an answer.
std::vector<pb::Rsp> Answers(const std::string& bytes) {
    FrameReader reader;
    reader.Append(bytes.data(), bytes.size());
    std::vector<pb::Rsp> answers;
    std::string body;
    while (reader.Next(&body) == FrameReader::Status::kFrame) {
        answers.emplace_back();
        EXPECT_TRUE(answers.back().ParseFromString(body));
    }
    return answers;
}

class AnswerChannelTest : public ::testing::Test {
protected:
    RecordingWriter writer_;
    FaultOptions faults_;
    std::ostringstream logText_;
    EventLog log_{logText_, true};
};

TEST_F(AnswerChannelTest, WritesEachAnswerAsOneFrameAndLogsIt) {
    AnswerChannel channel(writer_, faults_, log_, "[c] ");
    EXPECT_TRUE(channel.Send(RemoveAnswer(4)));
    EXPECT_TRUE(channel.Send(RemoveAnswer(5)));
    ASSERT_EQ(writer_.writes.size(), 2u);
    const auto answers = Answers(writer_.All());
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].requestid(), 5u);
    EXPECT_NE(logText_.str().find("[c] -> #4 removeSavegame Ok"), std::string::npos);
    EXPECT_FALSE(channel.Closing());
}

TEST_F(AnswerChannelTest, ByteWritesSendOneByteAtATime) {
    faults_.byteWrites = true;
    AnswerChannel channel(writer_, faults_, log_, "");
    ASSERT_TRUE(channel.Send(RemoveAnswer(4)));
    ASSERT_GT(writer_.writes.size(), 4u);
    for (const std::string& write : writer_.writes) {
        EXPECT_EQ(write.size(), 1u);
    }
    EXPECT_EQ(Answers(writer_.All()).size(), 1u);
}

TEST_F(AnswerChannelTest, CloseAfterCountsAnswers) {
    faults_.closeAfter = 2;
    AnswerChannel channel(writer_, faults_, log_, "");
    EXPECT_TRUE(channel.Send(RemoveAnswer(1)));
    EXPECT_FALSE(channel.Closing());
    EXPECT_TRUE(channel.Send(RemoveAnswer(2)));
    EXPECT_TRUE(channel.Closing());
    EXPECT_FALSE(channel.Send(RemoveAnswer(3)));
    EXPECT_EQ(Answers(writer_.All()).size(), 2u);

    faults_.closeAfter = 0;
    AnswerChannel atOnce(writer_, faults_, log_, "");
    EXPECT_TRUE(atOnce.Closing());
}

TEST_F(AnswerChannelTest, ZeroLengthFrameReplacesTheAnswer) {
    faults_.malformed = MalformedAnswer::kZeroLength;
    AnswerChannel channel(writer_, faults_, log_, "");
    ASSERT_TRUE(channel.Send(RemoveAnswer(4)));
    EXPECT_EQ(writer_.All(), std::string(4, '\0'));
}

TEST_F(AnswerChannelTest, GarbageBodyDoesNotParse) {
    faults_.malformed = MalformedAnswer::kGarbage;
    AnswerChannel channel(writer_, faults_, log_, "");
    ASSERT_TRUE(channel.Send(RemoveAnswer(4)));
    FrameReader reader;
    reader.Append(writer_.All().data(), writer_.All().size());
    std::string body;
    ASSERT_EQ(reader.Next(&body), FrameReader::Status::kFrame);
    pb::Rsp rsp;
    EXPECT_FALSE(rsp.ParseFromString(body));
}

TEST_F(AnswerChannelTest, NoSlotKeepsOnlyTheRequestId) {
    faults_.malformed = MalformedAnswer::kNoSlot;
    AnswerChannel channel(writer_, faults_, log_, "");
    ASSERT_TRUE(channel.Send(RemoveAnswer(4)));
    const auto answers = Answers(writer_.All());
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].requestid(), 4u);
    EXPECT_FALSE(answers[0].has_removesavegame());
}

TEST_F(AnswerChannelTest, ReadOutsideMovesPartsPastTheRequestedRange) {
    faults_.malformed = MalformedAnswer::kReadOutside;
    AnswerChannel channel(writer_, faults_, log_, "");
    channel.BeginRequest(ReadRequest(8, 1, 1, 0, 300));
    ASSERT_TRUE(channel.Send(ReadPartAnswer(8, 0, std::string(100, 'x'))));
    ASSERT_TRUE(channel.Send(ReadPartAnswer(8, 100, std::string(100, 'x'))));
    ASSERT_TRUE(channel.Send(RemoveAnswer(9)));  // other answers stay intact
    const auto answers = Answers(writer_.All());
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].readsavegame().requestoffset(), 300u);
    EXPECT_EQ(answers[1].readsavegame().requestoffset(), 400u);
    EXPECT_TRUE(answers[2].has_removesavegame());
}

TEST_F(AnswerChannelTest, FaultAfterLetsTheFirstAnswersThrough) {
    faults_.malformed = MalformedAnswer::kZeroLength;
    faults_.malformedAfter = 2;
    AnswerChannel channel(writer_, faults_, log_, "");
    for (std::uint32_t id = 1; id <= 3; ++id) {
        ASSERT_TRUE(channel.Send(RemoveAnswer(id)));
    }
    ASSERT_EQ(writer_.writes.size(), 3u);
    EXPECT_EQ(Answers(writer_.writes[0] + writer_.writes[1]).size(), 2u);
    EXPECT_EQ(writer_.writes[2], std::string(4, '\0'));
}

TEST_F(AnswerChannelTest, AFailedWriteEndsTheChannel) {
    writer_.broken = true;
    AnswerChannel channel(writer_, faults_, log_, "");
    EXPECT_FALSE(channel.Send(RemoveAnswer(1)));
    writer_.broken = false;
    EXPECT_FALSE(channel.Send(RemoveAnswer(2)));
    EXPECT_EQ(writer_.writes.size(), 1u);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
