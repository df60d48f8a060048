#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>

#include "velhalyxapi_r2.h"

namespace kx {
namespace halyxclient {

// A game's side of the library: one session through the plain exports, Update called at a
// game's frame rate while waiting, and every wait bounded. Used by the main thread only.
class GameLoop {
public:
    // `out` takes results, `err` errors and progress; both must outlive the loop.
    GameLoop(std::ostream& out, std::ostream& err, std::chrono::milliseconds timeout);

    halyxdll::HalyxSession* Session() const { return session_; }
    std::ostream& Out() const { return out_; }
    std::ostream& Err() const { return err_; }

    // Opens the launcher connection the way games do, by asking for the server pipe of
    // `productId`; a pipe handed over is closed again. Returns kExitOk, or after telling the
    // user kExitNoLauncher (not running) or kExitFailed (no answer).
    int Connect(std::uint32_t productId);

    // Calls Update once per frame until `done` says true. Returns false, after telling the user
    // that the launcher did not answer, when the time-out passes first.
    bool PumpUntil(const std::function<bool()>& done);

private:
    std::ostream& out_;
    std::ostream& err_;
    const std::chrono::milliseconds timeout_;
    halyxdll::HalyxSession* session_;  // the process's one facade, shared by every loop
};

}  // namespace halyxclient
}  // namespace kx
