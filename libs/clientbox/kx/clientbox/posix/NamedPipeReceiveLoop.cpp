#include "kx/clientbox/NamedPipeReceiveLoop.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/clientbox/posix/PipeDescriptor.h"
#include "kx/common/Contract.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/ThreadStart.h"
#include "kx/logger/LogRecord.h"

namespace kx {
namespace clientbox {

using common::HybridArray;
using common::ScopedLock;
using common::SharedPtr;

namespace {

// Error codes reported to sockets for reads that end without a platform error.
constexpr unsigned kEndOfStream = EPIPE;
constexpr unsigned kCancelled = ECANCELED;

using Requests = HybridArray<NamedPipeReceiveLoop::PipeData, 0>;

// The most buffers one read fills. A peer that streams is read up to 256 KiB at a time (about
// what a local socket holds), so the completion, its notification and the unframing that
// follows are paid once per 256 KiB rather than once per 4 KiB; a small message still costs
// one buffer and one call.
constexpr unsigned kMaxBuffersPerRead = 64;

// Reads up to `waiting` bytes (what the descriptor holds) in one call: into the free region of
// the request's buffer, when `intoFirst`, and into fresh buffers linked behind it (up to
// kMaxBuffersPerRead buffers in all). Buffers left empty are unlinked again. Returns recvmsg's
// result.
ssize_t ReceiveWaiting(const NamedPipeReceiveLoop::PipeData& request, int descriptor,
                       std::size_t waiting, bool intoFirst) {
    iovec regions[kMaxBuffersPerRead];
    unsigned count = 0;
    std::size_t room = 0;
    Buffer* last = request.buffer.Get();
    if (intoFirst) {
        unsigned char* region;
        regions[0].iov_len = last->GetWriteRegion(&region);
        regions[0].iov_base = region;
        room = regions[0].iov_len;
        count = 1;
    }
    while (count < kMaxBuffersPerRead - (intoFirst ? 0 : 1) && room < waiting) {
        SharedPtr<Buffer> next(new Buffer);
        unsigned char* region;
        regions[count].iov_len = next->GetWriteRegion(&region);
        regions[count].iov_base = region;
        room += regions[count].iov_len;
        ++count;
        last->SetNext(next);
        last = next.Get();
    }
    msghdr message = {};
    message.msg_iov = regions;
    message.msg_iovlen = count;
    const ssize_t received = recvmsg(descriptor, &message, MSG_DONTWAIT);
    // Buffers past the bytes taken are unlinked; what could not be read now (or a failure) is
    // met by the next read.
    const std::size_t taken = received > 0 ? static_cast<std::size_t>(received) : 0;
    Buffer* kept = request.buffer.Get();
    std::size_t filled = intoFirst ? kept->Remaining() : 0;
    while (filled < taken) {
        kept = kept->GetNext().Get();
        filled += Buffer::kSize;
    }
    kept->SetNext(SharedPtr<Buffer>());
    return received;
}

// How the last read of a socket ended, which decides how the next one starts.
enum class ReadEnd {
    // Nothing read yet: the descriptor is polled.
    kNotReady,
    // The read brought what was there, or ended the read cycle.
    kDone,
    // The read filled its first buffer: more is likely waiting already.
    kFull,
};

// Reads what a readable descriptor holds into the request's buffer (and, when that comes back
// full, into buffers linked behind it) and reports the outcome to its socket. A socket whose
// last read came back full (`streaming`) is asked what it holds first, so that one call reads
// it all without a poll; none held means kNotReady, and the poll decides.
ReadEnd TryRead(const NamedPipeReceiveLoop::PipeData& request, bool streaming) {
    const int descriptor = PipeDescriptor(request.handle);
    unsigned char* region;
    const unsigned size = request.buffer->GetWriteRegion(&region);
    ssize_t received;
    if (streaming) {
        int waiting = 0;
        if (ioctl(descriptor, FIONREAD, &waiting) != 0 || waiting <= 0) return ReadEnd::kNotReady;
        received = ReceiveWaiting(request, descriptor, static_cast<std::size_t>(waiting), true);
    } else {
        received = recv(descriptor, region, size, MSG_DONTWAIT);
    }
    if (received > 0) {
        unsigned count = static_cast<unsigned>(received);
        // The first buffer filled up: the sender is streaming, and may well have more on the way.
        const bool full = count >= size;
        if (!streaming && full) {
            int waiting = 0;
            if (ioctl(descriptor, FIONREAD, &waiting) == 0 && waiting > 0) {
                const ssize_t more =
                    ReceiveWaiting(request, descriptor, static_cast<std::size_t>(waiting), false);
                count += more > 0 ? static_cast<unsigned>(more) : 0;
            }
        }
        request.socket->OnReadComplete(0, count);
        return full ? ReadEnd::kFull : ReadEnd::kDone;
    }
    if (received == 0) {
        request.socket->OnReadComplete(kEndOfStream, 0);
        return ReadEnd::kDone;
    }
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return ReadEnd::kNotReady;
    KX_LOG(common::kLogError) << "recv failed, error = " << error << ".";
    request.socket->OnReadComplete(static_cast<unsigned>(error), 0);
    return ReadEnd::kDone;
}

// The most reads tried at once, without a poll, between two polls.
constexpr unsigned kMaxReadsWithoutPoll = 16;

// The most buffers one write gathers.
constexpr unsigned kMaxWriteRegions = 16;

}  // namespace

struct PipeIo {
    // Writes what the request's socket has queued, as much as the descriptor takes now, and
    // reports it to the socket. True when the request is done: nothing is left to write, or
    // the socket closed or failed (the socket may be gone then); false while bytes wait for
    // the descriptor to become writable.
    static bool TryWrite(const NamedPipeReceiveLoop::PipeData& request);
};

bool PipeIo::TryWrite(const NamedPipeReceiveLoop::PipeData& request) {
    NamedPipeSocket* socket = request.socket;
    unsigned error = kCancelled;
    unsigned written = 0;
    {
        ScopedLock guard(&socket->lock_);
        if (!socket->IsClosed()) {
            NamedPipeSocket::Region regions[kMaxWriteRegions];
            iovec vectors[kMaxWriteRegions];
            const unsigned count = socket->NextWriteRegions(regions, kMaxWriteRegions);
            for (unsigned i = 0; i < count; ++i) {
                vectors[i].iov_base = const_cast<unsigned char*>(regions[i].data);
                vectors[i].iov_len = regions[i].count;
            }
            msghdr message = {};
            message.msg_iov = vectors;
            message.msg_iovlen = count;
            ssize_t sent;
            do {
                // MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE in the game.
                sent = count == 0 ? 0
                                  : sendmsg(PipeDescriptor(request.handle), &message,
                                            MSG_DONTWAIT | MSG_NOSIGNAL);
            } while (sent < 0 && errno == EINTR);
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
            if (sent >= 0) {
                error = 0;
                written = static_cast<unsigned>(sent);
            } else {
                error = static_cast<unsigned>(errno);
            }
        }
    }
    return !socket->OnWriteComplete(error, written);
}

void NamedPipeReceiveLoop::SharedData::CreateWake() {
    int ends[2];
    KX_CHECK(pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0);
    wake_[0] = ends[0];
    wake_[1] = ends[1];
}

void NamedPipeReceiveLoop::SharedData::DestroyWake() {
    close(static_cast<int>(wake_[0]));
    close(static_cast<int>(wake_[1]));
}

// A full pipe is signalled already, so a failed write needs no handling.
void NamedPipeReceiveLoop::SharedData::SignalWake() {
    const char byte = 1;
    if (write(static_cast<int>(wake_[1]), &byte, 1) < 0) return;
}

void NamedPipeReceiveLoop::SharedData::ResetWake() {
    char bytes[64];
    while (read(static_cast<int>(wake_[0]), bytes, sizeof(bytes)) > 0) {
    }
}

void NamedPipeReceiveLoop::ThreadMain(SharedPtr<SharedData> shared) {
    Requests active;
    Requests taken;
    HybridArray<pollfd, 16> descriptors;
    // Sockets whose last read filled its first buffer: their next read is tried at once.
    HybridArray<NamedPipeSocket*, 4> streaming;
    shared->BecomeReaderThread();
    while (!shared->IsStopped()) {
        // Reads tried at once are bounded between polls, so that a socket that never runs dry
        // does not keep the other sockets and a stop request waiting.
        unsigned readsWithoutPoll = 0;
        // Requests handed in meanwhile, by other threads or by this one's completions (also
        // those that taking them hands in), join before the thread polls again.
        for (shared->TakePending(&taken); taken.GetCount() != 0; shared->TakePending(&taken)) {
            for (unsigned i = 0; i < taken.GetCount(); ++i) {
                const PipeData& request = taken.At(i);
                if (request.kind == kWrite) {
                    // Most writes fit the socket's buffer at once: no poll round for them.
                    if (!PipeIo::TryWrite(request)) active.Add(request);
                    continue;
                }
                const int index = streaming.Find(request.socket);
                ScopedLock guard(&request.socket->lock_);
                if (request.socket->IsClosed()) {
                    guard.Unlock();
                    if (index >= 0) streaming.RemoveAtFast(static_cast<unsigned>(index));
                    request.socket->OnReadComplete(kCancelled, 0);
                    continue;
                }
                guard.Unlock();
                if (index < 0 || readsWithoutPoll == kMaxReadsWithoutPoll) {
                    active.Add(request);
                    continue;
                }
                streaming.RemoveAtFast(static_cast<unsigned>(index));
                ++readsWithoutPoll;
                const ReadEnd end = TryRead(request, true);
                if (end == ReadEnd::kNotReady) active.Add(request);
                if (end == ReadEnd::kFull) streaming.Add(request.socket);
            }
            taken.Clear();
        }

        descriptors.Clear();
        pollfd wake = {static_cast<int>(shared->wake_[0]), POLLIN, 0};
        descriptors.Add(wake);
        for (unsigned i = 0; i < active.GetCount(); ++i) {
            const PipeData& request = active.At(i);
            const short events = request.kind == kRead ? POLLIN : POLLOUT;
            pollfd entry = {PipeDescriptor(request.handle), events, 0};
            descriptors.Add(entry);
        }
        if (poll(descriptors.GetData(), descriptors.GetCount(), -1) < 0) {
            const int error = errno;
            if (error != EINTR) {
                KX_LOG(common::kLogError) << "poll failed, error = " << error << ".";
                common::Sleep(1);
            }
            continue;
        }

        // Completions may destroy their socket; a completed request is dropped at once.
        unsigned kept = 0;
        for (unsigned i = 0; i < active.GetCount(); ++i) {
            const PipeData& request = active.At(i);
            if (descriptors.At(i + 1).revents == 0) {
                // Not ready.
            } else if (request.kind == kWrite) {
                if (PipeIo::TryWrite(request)) continue;
            } else {
                NamedPipeSocket* const socket = request.socket;
                const ReadEnd end = TryRead(request, false);
                if (end == ReadEnd::kFull && streaming.Find(socket) < 0) streaming.Add(socket);
                if (end != ReadEnd::kNotReady) continue;
            }
            if (kept != i) active.At(kept) = active.At(i);
            ++kept;
        }
        active.Truncate(kept);
    }
}

}  // namespace clientbox
}  // namespace kx
