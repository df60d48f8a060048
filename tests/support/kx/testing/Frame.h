#pragma once

#include <google/protobuf/message_lite.h>

#include <cstdint>
#include <string>

namespace kx {
namespace testing {

// Frames as they travel on the launcher pipe, made by hand so that tests do not check the
// library's framing with itself: a 4-byte length, most significant byte first, then the body.

// The 4 bytes that announce a body of `length` bytes, whatever body follows them.
inline std::string LengthPrefix(std::uint32_t length) {
    return {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
            static_cast<char>(length >> 8), static_cast<char>(length)};
}

// `body` with its true length in front.
inline std::string Frame(const std::string& body) {
    return LengthPrefix(static_cast<std::uint32_t>(body.size())) + body;
}

// The frame of `message`'s encoding; required fields may be missing.
inline std::string Frame(const google::protobuf::MessageLite& message) {
    return Frame(message.SerializePartialAsString());
}

}  // namespace testing
}  // namespace kx
