#pragma once

#include <cstddef>
#include <string>

namespace kx {
namespace devlauncher {

// Longest savegame display name, in UTF-16 units: the longest name a game's writer accepts.
constexpr std::size_t kMaxSavegameNameUnits = 255;

// True when `utf8` may be stored as a savegame's display name: valid UTF-8 whose UTF-16 form
// has at most kMaxSavegameNameUnits units.
bool IsStorableSavegameName(const std::string& utf8);

}  // namespace devlauncher
}  // namespace kx
