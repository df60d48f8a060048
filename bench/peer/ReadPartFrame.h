#pragma once

#include <cstdint>

namespace kx {
namespace bench {

// The frame of one part of a savegame read, encoded around its data so that the data is
// copied once, straight from where it lies, into the frame: `head` (length prefix, then the Rsp
// up to the data's own length), the data, then `tail` (the part's offset and last-part flag).
// The bytes are those the protocol-buffer runtime writes for the same Rsp.
struct ReadPartFrame {
    // Encodes the part of read `requestId` that carries `size` bytes for `requestOffset`.
    ReadPartFrame(uint32_t requestId, uint32_t requestOffset, uint32_t size, bool isLastPart);

    unsigned char head[32];
    unsigned headSize;
    unsigned char tail[16];
    unsigned tailSize;
};

}  // namespace bench
}  // namespace kx
