#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LauncherProcess.h"
#include "RecordingListeners.h"
#include "ScratchDir.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "kx/testing/PipeNamespace.h"

namespace hostile_test {

using kx::devlauncher::testing::LauncherProcess;
using kx::devlauncher::testing::ReadWholeFile;
using kx::devlauncher::testing::ScratchDir;
using kx::devlauncher::testing::WriteWholeFile;

// How long the end-to-end waits last before they count as failures.
constexpr std::chrono::seconds kPatience(20);

// The development launcher program, serving the launcher pipe that the library opens (in a
// pipe namespace of this test program's own where the platform allows), with its savegames and
// its log in a scratch directory that lives as long as this object. It may be started and
// killed any number of times; the savegames stay.
class DevLauncher {
public:
    // The product whose server pipe the launcher serves (an echo pipe).
    static constexpr unsigned int kServerProduct = 7;
    // The login details it hands out.
    static constexpr const char* kUserName = "J\xc3\xbcrgen";
    static constexpr const char* kCdKey = "KEY-0001";

    DevLauncher() {
        kx::testing::IsolatePipeNamespace();
        WriteWholeFile(Config(), std::string("username = ") + kUserName +
                                     "\npassword = secret\ncdkey = " + kCdKey +
                                     "\nproducts = " + std::to_string(kServerProduct) + "\n");
    }
    ~DevLauncher() { Kill(); }
    DevLauncher(const DevLauncher&) = delete;
    DevLauncher& operator=(const DevLauncher&) = delete;

    // Starts the program with the fault switches `faults`; false when it cannot be started.
    // It may not be listening yet when this returns.
    bool Start(const std::vector<std::string>& faults = {}) {
        std::vector<std::string> args = {"--data-dir", (dir_.Path() / "data").string(), "--config",
                                         Config().string()};
        args.insert(args.end(), faults.begin(), faults.end());
        process_ = LauncherProcess::Start(args, dir_.Path() / "launcher.log");
        return process_ != nullptr;
    }

    // Ends the program at once, as a crash would, and waits until it has gone.
    void Kill() {
        if (!process_) return;
        process_->Kill();
        process_->WaitExit(kPatience);
        process_.reset();
    }

    // Everything the program has written to its standard error in this object's life.
    std::string Log() const { return ReadWholeFile(dir_.Path() / "launcher.log"); }

private:
    std::filesystem::path Config() const { return dir_.Path() / "launcher.conf"; }

    ScratchDir dir_;
    std::unique_ptr<LauncherProcess> process_;
};

// Calls GetHalyxServer (request `requestId`, for `productId`) until it opens the launcher
// connection, for at most kPatience: a launcher just started may not be listening yet. The
// failed attempts are taken off `listener` again. True once the request went out on an open
// connection.
inline bool ConnectSession(kx::halyxdll::HalyxSession& session, unsigned int requestId,
                           halyxdll_test::ServerListener* listener, unsigned int productId) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::size_t before = listener != nullptr ? listener->calls.size() : 0;
        session.GetHalyxServer(requestId, listener, productId, 0);
        kx::clientbox::PBConnection* connection =
            kx::halyxdll::HalyxSessionData::Current()->GetConnection();
        if (connection != nullptr && !connection->IsClosed()) return true;
        if (listener != nullptr) listener->calls.resize(before);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Calls Update until `done` or kPatience has passed; true when `done` became true.
template <typename Done>
bool PumpLong(kx::halyxdll::HalyxSession& session, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        session.Update();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

}  // namespace hostile_test
