#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace google {
namespace protobuf {
class MessageLite;
}
}  // namespace google

namespace kx {
namespace devlauncher {

// Largest message body accepted or sent. A frame that announces more is refused.
constexpr std::uint32_t kMaxFrameBody = 64u * 1024u * 1024u;

// Size of the big-endian length that precedes every body.
constexpr std::size_t kFrameHeaderSize = 4;

// Returns the 4-byte big-endian length of `body` followed by `body` itself. No check on the
// size: the fault switches use it to frame bodies a well-behaved peer never sends.
std::string FrameBody(const std::string& body);

// Serializes `message` behind its length prefix into `*frame`. Returns false, leaving `*frame`
// empty, when the message is not fully initialized or its body would be empty or larger than
// kMaxFrameBody.
bool EncodeFrame(const google::protobuf::MessageLite& message, std::string* frame);

// Cuts a byte stream into message bodies. A length of 0 or above kMaxFrameBody is a broken
// stream that cannot be resynchronized: once Next reports it, it keeps reporting it.
// Used by one thread at a time.
class FrameReader {
public:
    enum class Status {
        kNeedMore,    // no complete frame buffered yet
        kFrame,       // *body holds the next body
        kZeroLength,  // the stream announced an empty body
        kTooLarge,    // the stream announced a body above kMaxFrameBody
    };

    // Buffers `size` bytes read from the stream.
    void Append(const char* data, std::size_t size);

    // Takes the next complete body out of the buffer into `*body` (returns kFrame), or tells
    // why there is none.
    Status Next(std::string* body);

    // Number of buffered bytes not yet returned as a body.
    std::size_t Buffered() const { return buffer_.size() - start_; }

private:
    std::string buffer_;
    std::size_t start_ = 0;  // bytes of buffer_ already returned
    Status broken_ = Status::kNeedMore;
};

}  // namespace devlauncher
}  // namespace kx
