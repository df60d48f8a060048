#include "shared/SavegameImage.h"

namespace kx {
namespace bench {

void FillSavegame(unsigned char* out, uint32_t offset, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) out[i] = SavegameByteAt(offset + i);
}

uint32_t MatchingSavegamePrefix(const unsigned char* data, uint32_t offset, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (data[i] != SavegameByteAt(offset + i)) return i;
    }
    return count;
}

}  // namespace bench
}  // namespace kx
