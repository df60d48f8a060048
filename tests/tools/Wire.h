#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "HalyxDll.pb.h"
#include "PipeClient.h"

namespace kx {
namespace devlauncher {
namespace testing {

// Frames are made and taken apart here by hand, independently of the launcher's own framing.

// The 4-byte big-endian length of `body`, then `body`.
inline std::string HandFrame(const std::string& body) {
    const auto size = static_cast<std::uint32_t>(body.size());
    std::string frame = {static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                         static_cast<char>(size >> 8), static_cast<char>(size)};
    return frame + body;
}

inline bool SendRequest(PipeClient& client, const protocol::halyxdll::Req& req) {
    return client.Write(HandFrame(req.SerializeAsString()));
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
