#include "kx/clientbox/NamedPipeReceiveLoop.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "kx/clientbox/BufferBatch.h"
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

// Empty buffers the reader thread keeps from one read to the next and links behind a read's
// own buffer, so that every read offers 256 KiB in one call without first asking how much is
// waiting. The spares the bytes reached go with the read; the others wait for the next one,
// of any socket. They form a chain of their own, and their regions are kept beside them, so a
// read that reaches none touches only the links at the chain's ends.
class SpareBuffers {
public:
    SpareBuffers() : tail_(nullptr), count_(0) {}

    // Tops the spares up to kMaxBuffersPerRead - 1 and links them behind `first`. Returns the
    // free regions of `first` and of the spares, in chain order; `count` is set to theirs.
    iovec* Lend(Buffer* first, unsigned* count) {
        unsigned char* region;
        while (count_ < kMaxBuffersPerRead - 1) {
            if (head_) {
                tail_ = tail_->LinkNewBuffer();
            } else {
                head_ = SharedPtr<Buffer>(new Buffer);
                tail_ = head_.Get();
            }
            regions_[count_ + 1].iov_len = tail_->GetWriteRegion(&region);
            regions_[count_ + 1].iov_base = region;
            ++count_;
        }
        first->SetNext(head_);
        regions_[0].iov_len = first->GetWriteRegion(&region);
        regions_[0].iov_base = region;
        *count = count_ + 1;
        return regions_;
    }

    // Unlinks the spares that `received` bytes did not reach from the chain behind `first`,
    // which Lend last lent them to.
    void TakeBack(Buffer* first, unsigned received) {
        Buffer* last = first;
        unsigned reached = 0;
        for (std::size_t filled = regions_[0].iov_len; filled < received; filled += Buffer::kSize) {
            last = last->GetNext().Get();
            ++reached;
        }
        SharedPtr<Buffer> unreached;
        last->SwapNext(&unreached);
        head_.Swap(unreached);
        if (!head_) tail_ = nullptr;
        count_ -= reached;
        memmove(regions_ + 1, regions_ + 1 + reached, count_ * sizeof(iovec));
    }

private:
    SharedPtr<Buffer> head_;
    Buffer* tail_;
    unsigned count_;
    // The first read's region, then the spares' regions in chain order.
    iovec regions_[kMaxBuffersPerRead];
};

// Reads what a readable descriptor holds into the request's buffer and the spares linked
// behind it, and reports the outcome to its socket. False when nothing could be read yet; the
// request then stays.
bool TryRead(const NamedPipeReceiveLoop::PipeData& request, SpareBuffers* spares) {
    // The spares are topped up here while the game's thread gives back the buffers it parsed.
    BufferBatch batch;
    Buffer* first = request.buffer.Get();
    const int descriptor = PipeDescriptor(request.handle);
    unsigned regionCount;
    msghdr message = {};
    message.msg_iov = spares->Lend(first, &regionCount);
    message.msg_iovlen = regionCount;
    const ssize_t received = recvmsg(descriptor, &message, MSG_DONTWAIT);
    const int error = errno;
    spares->TakeBack(first, received > 0 ? static_cast<unsigned>(received) : 0);
    if (received > 0) {
        request.socket->OnReadComplete(0, static_cast<unsigned>(received));
        return true;
    }
    if (received == 0) {
        request.socket->OnReadComplete(kEndOfStream, 0);
        return true;
    }
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return false;
    KX_LOG(common::kLogError) << "recv failed, error = " << error << ".";
    request.socket->OnReadComplete(static_cast<unsigned>(error), 0);
    return true;
}

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
    NamedPipeSocket::Region regions[kMaxWriteRegions];
    unsigned count = 0;
    bool closed;
    {
        ScopedLock guard(&socket->lock_);
        closed = socket->IsClosed();
        if (!closed) count = socket->NextWriteRegions(regions, kMaxWriteRegions, 0);
    }
    // Reported unlocked: the report may end the socket.
    if (closed) return !socket->OnWriteComplete(kCancelled, 0);
    // The regions belong to the write being made, which only this thread ends, so the call
    // runs without the socket's lock: Send and Receive on other threads never wait for it. A
    // Close meanwhile shuts the descriptor down, and the report finds the socket closed.
    iovec vectors[kMaxWriteRegions];
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
        sent = count == 0
                   ? 0
                   : sendmsg(PipeDescriptor(request.handle), &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    const unsigned error = sent >= 0 ? 0 : static_cast<unsigned>(errno);
    const unsigned written = sent >= 0 ? static_cast<unsigned>(sent) : 0;
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
    SpareBuffers spares;
    HybridArray<pollfd, 16> descriptors;
    shared->BecomeReaderThread();
    while (!shared->IsStopped()) {
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
                ScopedLock guard(&request.socket->lock_);
                if (request.socket->IsClosed()) {
                    guard.Unlock();
                    request.socket->OnReadComplete(kCancelled, 0);
                } else {
                    active.Add(request);
                }
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
            const bool ready = descriptors.At(i + 1).revents != 0;
            if (ready &&
                (request.kind == kRead ? TryRead(request, &spares) : PipeIo::TryWrite(request))) {
                continue;
            }
            if (kept != i) active.At(kept) = active.At(i);
            ++kept;
        }
        active.Truncate(kept);
    }
}

}  // namespace clientbox
}  // namespace kx
