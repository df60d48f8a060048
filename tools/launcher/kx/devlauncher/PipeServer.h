#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "kx/devlauncher/ByteWriter.h"

namespace kx {
namespace devlauncher {

// Where a client finds the pipe `name`: "\\.\pipe\<name>" on Windows; on POSIX the socket
// "<dir>/<name>" in the directory of the library's pipe contract (kx/clientbox/posix/PipePath.h).
std::string PipeLocation(const std::string& name);

// The server end of one connected client, a byte stream in both directions. Used by one thread
// at a time; Stop of its server may come from any thread and ends blocked calls.
class PipeConnection : public ByteWriter {
public:
    struct Impl;

    explicit PipeConnection(std::unique_ptr<Impl> impl);
    ~PipeConnection();  // closes the connection; bytes already written still reach the client
    PipeConnection(const PipeConnection&) = delete;
    PipeConnection& operator=(const PipeConnection&) = delete;

    // Waits for bytes and copies up to `size` of them into `data`. Returns their number, or 0
    // when the client closed its end, the connection failed or the server was stopped.
    std::size_t Read(char* data, std::size_t size);

    // Writes all `size` bytes with as few system calls as the system allows. Returns false when
    // the client is gone, the connection failed or the server was stopped.
    bool Write(const char* data, std::size_t size) override;

private:
    std::unique_ptr<Impl> impl_;
};

// A listening pipe that hands out one PipeConnection per client, any number at once. On POSIX
// it accepts only clients of the launcher's own (effective) user. Accept runs on one thread; Stop
// may be called from any thread.
class PipeServer {
public:
    struct Impl;

    enum class OpenResult {
        kOpened,
        kAlreadyServed,  // another live server owns the name
        kFailed,
    };

    PipeServer();
    ~PipeServer();  // stops the server and removes its socket file (POSIX)
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // Starts listening on the pipe `name`. Call once. On kFailed `*error` says why.
    OpenResult Open(const std::string& name, std::string* error);

    // Waits for the next client. Returns null once the server is stopped.
    std::unique_ptr<PipeConnection> Accept();

    // Ends Accept and the blocked calls of every connection this server handed out; they fail
    // from then on. Idempotent.
    void Stop();

    // The location given to Open (see PipeLocation).
    const std::string& Location() const { return location_; }

private:
    std::unique_ptr<Impl> impl_;
    std::string location_;
};

}  // namespace devlauncher
}  // namespace kx
