#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kx {
namespace devlauncher {

// Deliberately broken answers, for testing how a client copes.
enum class MalformedAnswer {
    kNone,
    kZeroLength,   // a frame whose length is 0 in place of the answer
    kGarbage,      // a frame whose body is not a valid message
    kNoSlot,       // an answer with the request id but no filled slot
    kReadOutside,  // read parts placed just past the end of the requested range
};

// The fault switches. Each applies to every connection of the launcher pipe on its own.
struct FaultOptions {
    bool byteWrites = false;                  // every answer written one byte per write
    std::uint32_t delayMs = 0;                // wait before writing each answer
    std::optional<std::uint32_t> closeAfter;  // close once this many answers went out (0: at once)
    MalformedAnswer malformed = MalformedAnswer::kNone;
    std::uint32_t malformedAfter = 0;  // answers sent intact before the malformed ones start
};

// Maps a switch value (zero-length, garbage, no-slot, read-outside) to its kind. Returns false
// for any other text.
bool ParseMalformedAnswer(const std::string& text, MalformedAnswer* kind);

}  // namespace devlauncher
}  // namespace kx
