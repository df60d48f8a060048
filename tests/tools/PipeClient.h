#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace kx {
namespace devlauncher {
namespace testing {

// The client end of a launcher or server pipe, opened the way games open it (on Windows for
// overlapped I/O). Every wait is bounded, so a silent peer fails a test instead of hanging it.
// One thread may write while another reads; otherwise used by one thread at a time.
class PipeClient {
public:
    struct Impl;

    // Connects to the pipe at `location` (see PipeLocation). Null when nothing serves it.
    static std::unique_ptr<PipeClient> Connect(const std::string& location);

    explicit PipeClient(std::unique_ptr<Impl> impl);
    ~PipeClient();
    PipeClient(const PipeClient&) = delete;
    PipeClient& operator=(const PipeClient&) = delete;

    // Writes all of `bytes`. False when the pipe is closed.
    bool Write(const std::string& bytes);

    // Reads exactly `size` bytes into `*out` within `timeout`. False on close or time-out.
    bool ReadExactly(std::size_t size, std::string* out, std::chrono::milliseconds timeout);

    // Reads whatever arrives in one read within `timeout` (possibly a single byte). Returns an
    // empty string on close or time-out.
    std::string ReadSome(std::chrono::milliseconds timeout);

    // Waits until the server closes its end, skipping whatever bytes still arrive. False on
    // time-out.
    bool WaitClosed(std::chrono::milliseconds timeout);

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace testing
}  // namespace devlauncher
}  // namespace kx
