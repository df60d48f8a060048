#include "kx/clientbox/NamedPipeReceiveLoop.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
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

// Reads what a readable descriptor holds into the request's buffer and reports the outcome to
// its socket. False when nothing could be read yet; the request then stays.
bool TryRead(const NamedPipeReceiveLoop::PipeData& request) {
    unsigned char* region;
    const unsigned size = request.buffer->GetWriteRegion(&region);
    const ssize_t received = recv(PipeDescriptor(request.handle), region, size, MSG_DONTWAIT);
    if (received > 0) {
        request.socket->OnReadComplete(0, static_cast<unsigned>(received));
        return true;
    }
    if (received == 0) {
        request.socket->OnReadComplete(kEndOfStream, 0);
        return true;
    }
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return false;
    KX_LOG(common::kLogError) << "recv failed, error = " << error << ".";
    request.socket->OnReadComplete(static_cast<unsigned>(error), 0);
    return true;
}

}  // namespace

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
    while (!shared->IsStopped()) {
        descriptors.Clear();
        pollfd wake = {static_cast<int>(shared->wake_[0]), POLLIN, 0};
        descriptors.Add(wake);
        for (unsigned i = 0; i < active.GetCount(); ++i) {
            pollfd entry = {PipeDescriptor(active.At(i).handle), POLLIN, 0};
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
            const bool ready = descriptors.At(i + 1).revents != 0;
            if (ready && TryRead(active.At(i))) continue;
            if (kept != i) active.At(kept) = active.At(i);
            ++kept;
        }
        active.Truncate(kept);

        if (descriptors.At(0).revents != 0) {
            shared->TakePending(&taken);
            for (unsigned i = 0; i < taken.GetCount(); ++i) {
                const PipeData& request = taken.At(i);
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
    }
}

}  // namespace clientbox
}  // namespace kx
