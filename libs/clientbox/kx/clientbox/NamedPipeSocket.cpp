#include "kx/clientbox/NamedPipeSocket.h"

#include "kx/clientbox/NamedPipeReceiveLoop.h"
#include "kx/clientbox/OpenNamedPipe.h"
#include "kx/common/Contract.h"
#include "kx/common/ScopedLock.h"

namespace kx {
namespace clientbox {

using common::ScopedLock;
using common::SharedPtr;

NamedPipeSocket::NamedPipeSocket() : handle_(InvalidPipeHandle()), closed_(1) {
    InitializePlatform();
}

NamedPipeSocket::~NamedPipeSocket() {
    KX_CHECK(handle_ == InvalidPipeHandle());
    DeletePlatform();
}

bool NamedPipeSocket::Connect(const char* name) {
    ScopedLock guard(&lock_);
    KX_CHECK(handle_ == InvalidPipeHandle());
    const PipeHandle handle = OpenNamedPipe(name);
    if (handle == InvalidPipeHandle()) return false;
    SignalConnected.Emit();
    Open(handle);
    return true;
}

void NamedPipeSocket::Attach(PipeHandle handle) {
    KX_CHECK(handle != InvalidPipeHandle());
    ScopedLock guard(&lock_);
    KX_CHECK(handle_ == InvalidPipeHandle());
    Open(handle);
}

void NamedPipeSocket::Send(SharedPtr<Buffer>& chain) {
    if (!chain) return;
    ScopedLock writeGuard(&writeLock_);
    SharedPtr<Buffer> current;
    PipeHandle handle;
    {
        ScopedLock guard(&lock_);
        if (IsClosed()) {
            chain.Reset();
            return;
        }
        outgoing_.Append(chain);
        chain.Reset();
        // Only `current` holds the chain now: each buffer is released once written.
        current = outgoing_.TakeAll();
        // Only the reader thread changes the handle of an open socket, and only under
        // writeLock_, so it stays valid for this whole write-out.
        handle = handle_;
    }
    while (current) {
        // The unread regions of the next few buffers go out together where the platform can.
        Region regions[kMaxWriteRegions];
        unsigned count = 0;
        for (Buffer* buffer = current.Get(); buffer != nullptr && count < kMaxWriteRegions;
             buffer = buffer->GetNext().Get()) {
            const unsigned char* region;
            const unsigned size = buffer->GetReadRegion(&region);
            if (size != 0) regions[count++] = Region{region, size};
        }
        if (count == 0) break;
        unsigned written = 0;
        if (IsClosed() || !WriteRegions(handle, regions, count, &written)) {
            Close();
            return;
        }
        // Consume what went out, releasing each buffer once it is written (or was empty).
        while (current && (written > 0 || current->Remaining() == 0)) {
            written -= current->Read(nullptr, written, false);
            if (current->Remaining() == 0) {
                SharedPtr<Buffer> next = current->GetNext();
                current = next;
            }
        }
    }
    ScopedLock guard(&lock_);
    SignalSent.Emit();
}

void NamedPipeSocket::Close() {
    ScopedLock guard(&lock_);
    if (IsClosed()) return;
    closed_.Store(1);
    CancelIo();
    SignalClosed.Emit();
}

SharedPtr<Buffer> NamedPipeSocket::Receive() {
    ScopedLock guard(&lock_);
    return incoming_.TakeAll();
}

void NamedPipeSocket::OnReadComplete(unsigned error, unsigned count) {
    ScopedLock guard(&lock_);
    // A read that completed just before the socket was closed on another thread ends the
    // cycle like a failed one: a closed socket starts no further read.
    if (error == 0 && !IsClosed()) {
        // The bytes lie in the free regions of the read buffer and of any buffers the reader
        // thread linked behind it, in order.
        unsigned uncommitted = count;
        for (Buffer* buffer = readBuffer_.Get(); buffer != nullptr;
             buffer = buffer->GetNext().Get()) {
            uncommitted -= buffer->Write(nullptr, uncommitted);
        }
        KX_CHECK(uncommitted == 0);
        readBuffer_->Seal();
        incoming_.Append(readBuffer_);
        readBuffer_.Reset();
        SignalReceived.Emit();
        StartRead();
        return;
    }
    Close();
    readBuffer_.Reset();
    SharedPtr<NamedPipeSocket> self = self_;
    self_.Reset();
    guard.Unlock();
    ReleaseHandle();
    // `self` is released last: that may destroy this socket.
}

void NamedPipeSocket::Open(PipeHandle handle) {
    handle_ = handle;
    closed_.Store(0);
    StartRead();
}

void NamedPipeSocket::StartRead() {
    KX_CHECK(lock_.IsHeldByCurrentThread());
    KX_CHECK(!IsClosed() && !readBuffer_);
    if (!self_) self_ = GetSharedPtr();
    readBuffer_ = SharedPtr<Buffer>(new Buffer);
    NamedPipeReceiveLoop* loop = NamedPipeReceiveLoop::Instance();
    KX_CHECK(loop != nullptr);
    NamedPipeReceiveLoop::PipeData request;
    request.handle = handle_;
    request.buffer = readBuffer_;
    request.socket = this;
    loop->AddPipe(request);
}

void NamedPipeSocket::ReleaseHandle() {
    ScopedLock writeGuard(&writeLock_);
    PipeHandle handle;
    {
        ScopedLock guard(&lock_);
        handle = handle_;
        handle_ = InvalidPipeHandle();
    }
    ClosePipeHandle(handle);
}

}  // namespace clientbox
}  // namespace kx
