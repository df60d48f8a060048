#include "kx/devlauncher/EchoService.h"

#include <vector>

namespace kx {
namespace devlauncher {

std::string ServerPipeName(const std::string& launcherPipe, std::uint32_t productId) {
    return launcherPipe + "_osi_" + std::to_string(productId);
}

void ServeEcho(PipeConnection& connection) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const std::size_t n = connection.Read(buffer.data(), buffer.size());
        if (n == 0 || !connection.Write(buffer.data(), n)) {
            return;
        }
    }
}

}  // namespace devlauncher
}  // namespace kx
