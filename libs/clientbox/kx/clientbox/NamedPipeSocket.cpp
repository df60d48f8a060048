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
        const unsigned char* region;
        const unsigned count = current->GetReadRegion(&region);
        if (count == 0) {
            SharedPtr<Buffer> next = current->GetNext();
            current = next;
            continue;
        }
        unsigned written = 0;
        if (IsClosed() || !WriteRegion(handle, region, count, &written)) {
            Close();
            return;
        }
        current->Read(nullptr, written, false);
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
        KX_CHECK(readBuffer_->Write(nullptr, count) == count);
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
