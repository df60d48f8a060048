#pragma once

#include <cstdint>

namespace kx {
namespace bench {

// The contents of the benchmark savegame: a byte pattern that differs between neighbouring
// bytes and between 4 KiB pages, so a part copied to the wrong place or a dropped part shows.

// The savegame byte at `offset`.
inline unsigned char SavegameByteAt(uint32_t offset) {
    return static_cast<unsigned char>(offset * 131u + (offset >> 12) * 7u + (offset >> 20));
}

// Writes the `count` savegame bytes that start at `offset` into `out`.
void FillSavegame(unsigned char* out, uint32_t offset, uint32_t count);

// The number of leading bytes of `data` (`count` bytes) that match the savegame from `offset`;
// `count` when all match.
uint32_t MatchingSavegamePrefix(const unsigned char* data, uint32_t offset, uint32_t count);

}  // namespace bench
}  // namespace kx
