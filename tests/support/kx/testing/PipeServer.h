#pragma once

#include <memory>
#include <string>

#include "kx/testing/PipeEnd.h"

namespace kx {
namespace testing {

// Serves pipe `name` in the library's pipe namespace (Windows: the named pipe
// "\\.\pipe\<name>"; POSIX: the Unix-domain socket at the library's path contract) to any number
// of clients. Once the constructor has returned, clients can connect: a client that connects
// before Accept is called waits in the backlog (a listening instance on Windows). One thread
// calls Accept.
class PipeServer {
public:
    // Starts serving; IsServing tells whether that worked.
    explicit PipeServer(const std::string& name);
    // Stops serving; the ends already accepted stay open.
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    bool IsServing() const;
    // The name served, as given.
    const std::string& GetName() const { return name_; }
    // The server's end of the next client's connection, waiting up to `wait` for one to
    // connect; null when none did or serving failed. A client that connected and left
    // already is handed out too: reads on its end find end of stream.
    std::unique_ptr<PipeEnd> Accept(Wait wait);

private:
    std::string name_;
    struct State;  // the platform's listening records
    std::unique_ptr<State> state_;
};

}  // namespace testing
}  // namespace kx
