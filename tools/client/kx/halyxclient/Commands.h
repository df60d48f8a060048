#pragma once

#include <cstdint>
#include <string>

#include "kx/halyxclient/GameLoop.h"

namespace kx {
namespace halyxclient {

// The client's commands. Each prints its result to the loop's output, explains a failure on its
// error stream, and returns an exit code (ExitCodes.h).

// Prints the user name, password and CD key the launcher hands out; the password and the CD key
// are masked unless `showSecrets` is set, so that they stay out of terminals, logs and
// screenshots.
int RunLogin(GameLoop& loop, std::uint32_t productId, bool showSecrets);

// Opens the product's server pipe, sends a line through it and prints what comes back.
int RunServer(GameLoop& loop, std::uint32_t productId, std::uint32_t subProductId);

// Prints the localized text of `key` in `language` (needs no running launcher).
int RunLoc(GameLoop& loop, const std::string& language, const std::string& key);

// Lists the product's savegames: slot, size and name.
int RunList(GameLoop& loop, std::uint32_t productId);

// Reads the savegame in `slotId` into `file`.
int RunGet(GameLoop& loop, std::uint32_t productId, std::uint32_t slotId, const std::string& file);

// Stores `file` as the savegame in `slotId` under display name `name`, replacing one that is
// there only when `overwrite` is set, and checks that the launcher lists it afterwards.
int RunPut(GameLoop& loop, std::uint32_t productId, std::uint32_t slotId, const std::string& file,
           const std::string& name, bool overwrite);

// Removes the savegame in `slotId`.
int RunRemove(GameLoop& loop, std::uint32_t productId, std::uint32_t slotId);

}  // namespace halyxclient
}  // namespace kx
