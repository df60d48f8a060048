#include "kx/devlauncher/ReadParts.h"

#include <algorithm>

namespace kx {
namespace devlauncher {

std::vector<ReadPart> SplitRead(std::uint32_t savegameSize, std::uint32_t offset,
                                std::uint32_t numBytes, std::uint32_t partSize) {
    const std::uint32_t available = offset < savegameSize ? savegameSize - offset : 0;
    const std::uint32_t total = std::min(numBytes, available);
    std::vector<ReadPart> parts;
    std::uint32_t done = 0;
    do {
        ReadPart part;
        part.requestOffset = done;
        part.savegameOffset = offset + done;
        part.size = std::min(partSize, total - done);
        done += part.size;
        part.last = done == total;
        parts.push_back(part);
    } while (done < total);
    return parts;
}

}  // namespace devlauncher
}  // namespace kx
