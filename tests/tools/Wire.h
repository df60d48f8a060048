#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "HalyxDll.pb.h"
#include "PipeClient.h"
#include "support/Frame.h"

namespace kx {
namespace devlauncher {
namespace testing {

// Frames are made (support/Frame.h) and taken apart here by hand, independently of the
// launcher's own framing.

inline bool SendRequest(PipeClient& client, const protocol::halyxdll::Req& req) {
    return client.Write(kx::testing::Frame(req));
}

// Reads one frame's body within `timeout`. False on close, time-out or a zero length.
inline bool ReadBody(PipeClient& client, std::string* body,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::string header;
    if (!client.ReadExactly(4, &header, timeout)) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(header.data());
    const std::uint32_t size = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                               (std::uint32_t{p[2]} << 8) | p[3];
    return size > 0 && client.ReadExactly(size, body, timeout);
}

// Reads and parses one answer. False on close, time-out or an answer that does not parse.
inline bool ReadAnswer(PipeClient& client, protocol::halyxdll::Rsp* rsp,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::string body;
    return ReadBody(client, &body, timeout) && rsp->ParseFromString(body);
}

}  // namespace testing
}  // namespace devlauncher
}  // namespace kx
