#include "kx/devlauncher/SavegameName.h"

#include "kx/common/String.h"

namespace kx {
namespace devlauncher {

bool IsStorableSavegameName(const std::string& utf8) {
    // Decoding as the game does measures the name in the units its writer counts.
    // No UTF-8 character takes more than four bytes per UTF-16 unit: a longer text is refused
    // before it costs a decoding.
    common::String name;
    if (utf8.size() > 4 * kMaxSavegameNameUnits ||
        !name.SetUtf8(utf8.data(), static_cast<int>(utf8.size()))) {
        return false;
    }
    std::size_t units = 0;
    for (const unsigned short* unit = name.GetUtf16(); *unit != 0; ++unit) {
        ++units;
    }
    return units <= kMaxSavegameNameUnits;
}

}  // namespace devlauncher
}  // namespace kx
