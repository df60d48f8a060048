#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kx {
namespace bench {

// The raw baselines' client end: a plain blocking pipe as a game would use one, outside the
// library, so that its figures are what the library's are compared with. POSIX: a Unix-domain
// stream socket; Windows: a named pipe handle opened for synchronous I/O, one ReadFile or
// WriteFile per call and no events. One thread uses it at a time (synchronous Windows handles
// run one call at a time anyway).
class Channel {
public:
    // Connects to pipe `name` in the pipe namespace the library uses (on POSIX through the
    // library's own path contract), retrying a busy pipe for up to two seconds. Null on failure.
    static std::unique_ptr<Channel> Connect(const char* name);

    // Closes the handle; the other end then reads end of stream.
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Reads at most `size` bytes, waiting for the first: the count, 0 at end of stream, -1 on
    // failure.
    long ReadSome(void* buffer, std::size_t size);
    // Reads exactly `size` bytes; false at end of stream or on failure.
    bool ReadFull(void* buffer, std::size_t size);
    // Writes `size` bytes; false when the other end is gone.
    bool WriteAll(const void* data, std::size_t size);

private:
    // Takes ownership of an open handle (a descriptor on POSIX).
    explicit Channel(intptr_t handle) : handle_(handle) {}

    intptr_t handle_;
};

}  // namespace bench
}  // namespace kx
