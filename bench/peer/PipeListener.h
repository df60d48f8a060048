#pragma once

#include <memory>
#include <string>

#include "shared/Channel.h"

namespace kx {
namespace bench {

// Serves pipe `name` in the platform's pipe namespace (POSIX: the Unix-domain socket at the
// library's path contract; Windows: the named pipe "\\.\pipe\<name>") to any number of clients.
// Once the constructor has returned, clients can connect. One thread calls Accept.
class PipeListener {
public:
    // Starts listening; IsListening tells whether that worked.
    explicit PipeListener(const std::string& name);
    ~PipeListener();
    PipeListener(const PipeListener&) = delete;
    PipeListener& operator=(const PipeListener&) = delete;

    bool IsListening() const;
    // Waits for the next client; null when listening failed.
    std::unique_ptr<Channel> Accept();

private:
    struct State;  // the platform's listening records
    std::unique_ptr<State> state_;
};

}  // namespace bench
}  // namespace kx
