#include "kx/halyxclient/GameLoop.h"

#include <thread>

#include "kx/halyxclient/ExitCodes.h"
#include "kx/halyxclient/ResultListeners.h"
#include "kx/halyxclient/ServerPipe.h"

namespace kx {
namespace halyxclient {

namespace {

// A game's frame: the rate at which Update is called while waiting.
constexpr std::chrono::milliseconds kFrame(16);

// The process's one facade. The library never releases a facade, so it is taken once and
// kept where it stays reachable.
halyxdll::HalyxSession* ProcessSession() {
    static halyxdll::HalyxSession* const session = KxHalyxdllGetSession();
    return session;
}

}  // namespace

GameLoop::GameLoop(std::ostream& out, std::ostream& err, std::chrono::milliseconds timeout)
    : out_(out), err_(err), timeout_(timeout), session_(ProcessSession()) {}

int GameLoop::Connect(std::uint32_t productId) {
    ServerListener listener;
    KxHalyxdllGetHalyxServer(session_, KxHalyxdllGetRequestUniqueId(session_), &listener, productId,
                             0);
    if (listener.done) {  // answered before any message went out: no launcher pipe to open
        err_ << "error: the launcher is not running (its pipe cannot be opened)\n";
        return kExitNoLauncher;
    }
    if (!PumpUntil([&] { return listener.done; })) {
        return kExitFailed;
    }
    if (IsOpenPipe(listener.pipe)) {
        ClosePipe(listener.pipe);
    }
    return kExitOk;
}

bool GameLoop::PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    for (;;) {
        KxHalyxdllUpdate(session_);
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            err_ << "error: the launcher did not answer within "
                 << std::chrono::duration_cast<std::chrono::seconds>(timeout_).count()
                 << " s (it may have stopped)\n";
            return false;
        }
        std::this_thread::sleep_for(kFrame);
    }
}

}  // namespace halyxclient
}  // namespace kx
