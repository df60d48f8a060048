#include "peer/ReadPartFrame.h"

#include <gtest/gtest.h>

#include <string>

#include "HalyxDll.pb.h"

namespace kx {
namespace bench {
namespace {

namespace wire = protocol::halyxdll;

// The frame the protocol-buffer runtime makes of the same part.
std::string ReferenceFrame(uint32_t requestId, uint32_t offset, const std::string& data,
                           bool last) {
    wire::Rsp answer;
    answer.set_requestid(requestId);
    wire::ReadSavegameRsp* part = answer.mutable_readsavegame();
    part->set_data(data);
    part->set_requestoffset(offset);
    part->set_islastpart(last);
    const uint32_t size = static_cast<uint32_t>(answer.ByteSizeLong());
    std::string frame;
    for (int shift = 24; shift >= 0; shift -= 8) frame += static_cast<char>(size >> shift);
    return frame + answer.SerializeAsString();
}

std::string Assemble(const ReadPartFrame& frame, const std::string& data) {
    return std::string(reinterpret_cast<const char*>(frame.head), frame.headSize) + data +
           std::string(reinterpret_cast<const char*>(frame.tail), frame.tailSize);
}

TEST(ReadPartFrameTest, EncodesWhatTheRuntimeEncodes) {
    // Sizes and numbers around the varint length steps (one to five bytes).
    const uint32_t sizes[] = {0, 1, 127, 128, 16383, 16384, 65536, 1u << 20, (1u << 21) + 3};
    const uint32_t numbers[] = {0, 1, 127, 128, 300, 1u << 20, 0xFFFFFFFFu};
    for (const uint32_t size : sizes) {
        const std::string data(size, 'x');
        for (const uint32_t number : numbers) {
            for (const bool last : {false, true}) {
                const ReadPartFrame frame(number, number / 3, size, last);
                ASSERT_EQ(ReferenceFrame(number, number / 3, data, last), Assemble(frame, data))
                    << "size " << size << ", id " << number << ", last " << last;
            }
        }
    }
}

TEST(ReadPartFrameTest, ParsesAsThePart) {
    const std::string data = "part data";
    const ReadPartFrame frame(77, 4096, static_cast<uint32_t>(data.size()), true);
    const std::string bytes = Assemble(frame, data);
    wire::Rsp answer;
    ASSERT_TRUE(answer.ParseFromString(bytes.substr(4)));
    EXPECT_EQ(77u, answer.requestid());
    ASSERT_TRUE(answer.has_readsavegame());
    EXPECT_EQ(data, answer.readsavegame().data());
    EXPECT_EQ(4096u, answer.readsavegame().requestoffset());
    EXPECT_TRUE(answer.readsavegame().islastpart());
}

}  // namespace
}  // namespace bench
}  // namespace kx
