#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kx {
namespace bench {

// A blocking byte stream over a local pipe, outside the library: the raw baselines' client end,
// and each connection the peer serves. POSIX: a Unix-domain stream socket; Windows: a named
// pipe handle opened for synchronous I/O. One thread reads and one thread writes at a time.
class Channel {
public:
    // One piece of a gathered write.
    struct Piece {
        const void* data;
        std::size_t size;
    };

    // Connects to pipe `name` in the pipe namespace the library uses (on POSIX through the
    // library's own path contract), retrying a busy pipe for up to two seconds. Null on failure.
    static std::unique_ptr<Channel> Connect(const char* name);

    // Takes ownership of an open handle (a descriptor on POSIX).
    explicit Channel(intptr_t handle) : handle_(handle) {}
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
    bool WriteAll(const void* data, std::size_t size) {
        const Piece piece = {data, size};
        return WriteGather(&piece, 1);
    }
    // Writes the `count` pieces back to back, as few write calls as the platform allows.
    bool WriteGather(const Piece* pieces, unsigned count);

private:
    intptr_t handle_;
};

}  // namespace bench
}  // namespace kx
