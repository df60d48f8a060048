#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kx {
namespace testing {

// How long an operation may wait for the other end of a pipe. Zero polls: it takes what has
// already arrived.
using Wait = std::chrono::milliseconds;

// No limit: for the benchmarks' peer, which waits for its clients as long as they live. Tests
// never use it, so that a silent peer fails a test instead of hanging it.
constexpr Wait kNoTimeLimit = Wait::max();

// How long a test waits for a peer that is expected to answer: far beyond what a loaded machine
// or Wine needs, far below a test's own time-out.
constexpr Wait kPatience = std::chrono::seconds(30);

// One connected end of a local pipe, server's or client's, that closes on destruction. Reads
// and writes block; one thread may read while another writes, otherwise one thread at a time.
// Windows: a named pipe handle opened for overlapped I/O, each direction with an event of its
// own. POSIX: a blocking Unix-domain stream socket.
class PipeEnd {
public:
    // Takes ownership of an open handle (a descriptor on POSIX; -1 for none).
    explicit PipeEnd(intptr_t handle);
    ~PipeEnd();
    PipeEnd(const PipeEnd&) = delete;
    PipeEnd& operator=(const PipeEnd&) = delete;

    // Writes `size` bytes; false when the other end is gone. Waits for the reader as long as
    // it takes, as a launcher's write does.
    bool WriteAll(const void* data, std::size_t size);

    // One piece of a gathered write.
    struct Piece {
        const void* data;
        std::size_t size;
    };
    // The most pieces one gathered write takes.
    static constexpr std::size_t kMaxPieces = 8;
    // Writes the `count` (<= kMaxPieces) pieces in order, as WriteAll writes them joined; false
    // when the other end is gone or `count` is too large. POSIX gathers them in one call from
    // where they lie. Windows pipes take no gathered writes, so there they are joined in a
    // region of this end's first and written in one call, which a reader then gets whole.
    bool WriteAllGathered(const Piece* pieces, std::size_t count);

    // Reads at most `size` (> 0) bytes, waiting up to `wait` for the first: the count read, 0
    // at end of stream or on failure, -1 when nothing arrived within `wait`.
    long ReadSome(void* buffer, std::size_t size, Wait wait);
    // Reads exactly `size` bytes within `wait` in all; false at end of stream, on failure or
    // when they do not arrive in time.
    bool ReadExact(void* buffer, std::size_t size, Wait wait);
    // Reads and drops bytes until the other end closes: how many it dropped, or -1 when the
    // stream did not end within `wait`.
    long long ReadToEnd(Wait wait);

    // Closes this end (once); the other end reads end of stream after the bytes written.
    void Close();
    // The platform handle (a descriptor on POSIX), for platform-specific tests; -1 once closed.
    intptr_t GetHandle() const { return handle_; }

private:
    intptr_t handle_;
    // Windows: the manual-reset events of reads and of writes.
    intptr_t readEvent_ = 0;
    intptr_t writeEvent_ = 0;
    // Windows: the region that a gathered write joins its pieces in.
    std::string gathered_;
};

// Connects to pipe `name` in the library's pipe namespace, the way a game's client opens it
// (Windows: "\\.\pipe\<name>" for overlapped I/O; POSIX: the socket of the library's path
// contract). Null when nothing serves it or every instance is busy.
std::unique_ptr<PipeEnd> ConnectPipe(const std::string& name);

}  // namespace testing
}  // namespace kx
