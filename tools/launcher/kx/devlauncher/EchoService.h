#pragma once

#include <cstdint>
#include <string>

#include "kx/devlauncher/PipeServer.h"

namespace kx {
namespace devlauncher {

// Name of the server pipe of `productId` beside the launcher pipe `launcherPipe`
// ("<launcherPipe>_osi_<productId>"), so isolated launchers never share server pipes.
std::string ServerPipeName(const std::string& launcherPipe, std::uint32_t productId);

// Sends every byte read from `connection` straight back until the client closes its end or the
// server stops. Runs on the connection's thread.
void ServeEcho(PipeConnection& connection);

}  // namespace devlauncher
}  // namespace kx
