#include "shared/PeerProcess.h"

#include <chrono>

#include "shared/Channel.h"
#include "shared/PeerContract.h"

namespace kx {
namespace bench {

PeerProcess::PeerProcess(const std::string& program, const std::string& launcherPipeName,
                         const std::string& behaviour) {
    serving_ = Start(program, launcherPipeName, behaviour) && WaitServing();
}

PeerProcess::~PeerProcess() {
    End();
}

void PeerProcess::End() {
    Stop();
    process_ = -1;
    input_ = -1;
    namespace_.clear();
}

bool PeerProcess::WaitServing() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        // The peer opens the raw pipe after the launcher's: reaching it means both serve.
        if (Channel::Connect(kRawPipeName)) return true;
    }
    return false;
}

}  // namespace bench
}  // namespace kx
