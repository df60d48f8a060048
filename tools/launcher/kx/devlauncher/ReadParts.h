#pragma once

#include <cstdint>
#include <vector>

namespace kx {
namespace devlauncher {

// Part size used when none is configured.
constexpr std::uint32_t kDefaultPartSize = 64u * 1024u;

// Largest configurable part size; keeps every answer well inside the frame limit.
constexpr std::uint32_t kMaxPartSize = 32u * 1024u * 1024u;

// One answer to a read request.
struct ReadPart {
    std::uint32_t savegameOffset = 0;  // where its bytes start in the savegame
    std::uint32_t requestOffset = 0;   // the same place counted from the requested offset
    std::uint32_t size = 0;
    bool last = false;
};

// Splits a read of `numBytes` at `offset` of a savegame of `savegameSize` bytes into parts of at
// most `partSize` bytes (precondition: partSize > 0). A range that reaches past the end yields
// what exists; one that starts at or past the end yields a single empty last part, so every read
// gets an answer that ends it.
std::vector<ReadPart> SplitRead(std::uint32_t savegameSize, std::uint32_t offset,
                                std::uint32_t numBytes, std::uint32_t partSize);

}  // namespace devlauncher
}  // namespace kx
