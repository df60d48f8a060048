#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kx/devlauncher/ClientSession.h"
#include "kx/devlauncher/EventLog.h"
#include "kx/devlauncher/FaultOptions.h"
#include "kx/devlauncher/LauncherConfig.h"
#include "kx/devlauncher/PipeServer.h"
#include "kx/devlauncher/ReadParts.h"
#include "kx/devlauncher/SavegameStore.h"
#include "kx/devlauncher/SlotLocks.h"
#include "kx/devlauncher/ThreadGroup.h"

namespace kx {
namespace devlauncher {

// Pipe name games open when nothing else is said.
constexpr const char* kDefaultPipeName = "halyx_ipc_pipe";

// Connections served at once (launcher and server pipes together) unless set otherwise: each
// holds a thread, so a game that opens connections without end must not exhaust the launcher.
constexpr std::uint32_t kDefaultMaxConnections = 64;

// Everything a launcher is started with.
struct LauncherSettings {
    std::filesystem::path dataDir;     // savegames, one directory per product
    std::filesystem::path installDir;  // holds data/loc/<language>_loc.txt
    std::string pipeName = kDefaultPipeName;
    std::uint32_t partSize = kDefaultPartSize;               // 1 .. kMaxPartSize
    std::uint32_t maxConnections = kDefaultMaxConnections;   // above 0
    std::uint32_t maxWritersPerClient = kDefaultMaxWriters;  // above 0
    LauncherConfig config;
    FaultOptions faults;
};

// The development launcher: serves the launcher pipe to up to maxConnections clients at once,
// one thread per connection, and an echo server pipe per configured product. A connection above
// the limit is closed at once with a log line; the accept loops never wait for a free place.
//
// Start and Stop run on one controlling thread; the connection threads share the store and the
// slot locks, which guard themselves.
class Launcher {
public:
    enum class StartResult {
        kStarted,
        kAlreadyServed,  // another launcher serves the pipe name (or a server pipe name)
        kFailed,
    };

    // `log` must outlive the launcher.
    Launcher(LauncherSettings settings, EventLog& log);
    ~Launcher();  // Stop
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Prepares the data and installation directories and starts serving. Call once. Unless it
    // returns kStarted, `*error` says why and nothing is served.
    StartResult Start(std::string* error);

    // Closes every pipe and connection and waits for their threads. Unfinished writes are
    // discarded. Idempotent.
    void Stop();

    // Where clients find the launcher pipe (see PipeLocation).
    std::string Location() const;

    // Server pipe names by product id.
    const std::map<std::uint32_t, std::string>& ServerPipes() const {
        return services_.serverPipes;
    }

private:
    void AcceptLoop(PipeServer& server, bool echo);
    // Counts a new connection in; false (counting nothing) when maxConnections are open.
    bool AdmitConnection();
    void ServeClient(PipeConnection& connection, ClientId client);

    const LauncherSettings settings_;
    EventLog& log_;
    SavegameStore store_;
    SlotLocks locks_;
    SessionServices services_;
    std::unique_ptr<PipeServer> launcherPipe_;
    std::vector<std::unique_ptr<PipeServer>> serverPipes_;
    std::vector<std::thread> acceptThreads_;
    ThreadGroup connections_;
    std::atomic<ClientId> nextClient_{0};
    std::atomic<std::uint32_t> openConnections_{0};
};

}  // namespace devlauncher
}  // namespace kx
