#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "HalyxDll.pb.h"
#include "kx/testing/Frame.h"
#include "kx/testing/PipeEnd.h"

namespace kx {
namespace testing {

// Writes all of `bytes`; false when the pipe is closed.
inline bool Write(PipeEnd& end, const std::string& bytes) {
    return end.WriteAll(bytes.data(), bytes.size());
}

// Reads exactly `size` bytes into `*out` within `timeout`; false on close or time-out.
inline bool ReadExactly(PipeEnd& end, std::size_t size, std::string* out,
                        kx::testing::Wait timeout) {
    out->assign(size, '\0');
    return size == 0 || end.ReadExact(&(*out)[0], size, timeout);
}

// Frames are made (kx/testing/Frame.h) and taken apart here by hand, independently of the
// launcher's own framing.

inline bool SendRequest(PipeEnd& client, const protocol::halyxdll::Req& req) {
    return Write(client, kx::testing::Frame(req));
}

// Reads one frame's body within `timeout`. False on close, time-out or a zero length.
inline bool ReadBody(PipeEnd& client, std::string* body,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::string header;
    if (!ReadExactly(client, 4, &header, timeout)) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(header.data());
    const std::uint32_t size = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                               (std::uint32_t{p[2]} << 8) | p[3];
    return size > 0 && ReadExactly(client, size, body, timeout);
}

// Reads and parses one answer. False on close, time-out or an answer that does not parse.
inline bool ReadAnswer(PipeEnd& client, protocol::halyxdll::Rsp* rsp,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::string body;
    return ReadBody(client, &body, timeout) && rsp->ParseFromString(body);
}

}  // namespace testing
}  // namespace kx
