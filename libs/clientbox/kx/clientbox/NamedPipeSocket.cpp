#include "kx/clientbox/NamedPipeSocket.h"

#include "kx/clientbox/BufferBatch.h"
#include "kx/clientbox/NamedPipeReceiveLoop.h"
#include "kx/clientbox/OpenNamedPipe.h"
#include "kx/common/Contract.h"
#include "kx/common/ScopedLock.h"

namespace kx {
namespace clientbox {

using common::ScopedLock;
using common::SharedPtr;

NamedPipeSocket::NamedPipeSocket()
    : handle_(InvalidPipeHandle()), closed_(1), readPaused_(false), writing_(false) {
    InitializePlatform();
}

NamedPipeSocket::~NamedPipeSocket() {
    KX_CHECK(handle_ == InvalidPipeHandle());
    DeletePlatform();
}

bool NamedPipeSocket::Connect(const char* name) {
    ScopedLock guard(&lock_);
    KX_CHECK(handle_ == InvalidPipeHandle());
    // Without its I/O thread a socket would look open and never move a byte.
    if (NamedPipeReceiveLoop::Instance() == nullptr) return false;
    const PipeHandle handle = OpenNamedPipe(name);
    if (handle == InvalidPipeHandle()) return false;
    SignalConnected.Emit();
    Open(handle);
    return true;
}

void NamedPipeSocket::Attach(PipeHandle handle) {
    KX_CHECK(handle != InvalidPipeHandle());
    KX_CHECK(NamedPipeReceiveLoop::Instance() != nullptr);
    ScopedLock guard(&lock_);
    KX_CHECK(handle_ == InvalidPipeHandle());
    Open(handle);
}

void NamedPipeSocket::Send(SharedPtr<Buffer>& chain) {
    if (!chain) return;
    ScopedLock guard(&lock_);
    if (IsClosed()) {
        chain.Reset();
        return;
    }
    outgoing_.Push(chain);
    chain.Reset();
    if (!writing_) StartWrite();
}

void NamedPipeSocket::Close() {
    ScopedLock guard(&lock_);
    if (IsClosed()) return;
    closed_.Store(1);
    CancelIo();
    // A paused read cycle has nothing outstanding that the cancel could end: a read handed
    // in now finds the socket closed and ends it on the I/O thread.
    if (readPaused_) {
        readPaused_ = false;
        StartRead();
    }
    SignalClosed.Emit();
}

SharedPtr<Buffer> NamedPipeSocket::Receive() {
    ScopedLock guard(&lock_);
    SharedPtr<Buffer> chain = incoming_.TakeAll();
    if (readPaused_ && !IsClosed()) {
        readPaused_ = false;
        StartRead();
    }
    return chain;
}

unsigned NamedPipeSocket::GetUnreadByteCount() {
    ScopedLock guard(&lock_);
    return incoming_.GetSize();
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
        // Unread bytes were announced already, and whoever takes them with Receive takes these
        // too: each notification spared is a functor, a pass of the signal loop and, where the
        // loop sleeps, a kernel call to wake it.
        const bool announced = incoming_.GetSize() != 0;
        incoming_.Append(readBuffer_);
        readBuffer_.Reset();
        if (!announced) SignalReceived.Emit();
        if (incoming_.GetSize() < kMaxIncomingBytes) {
            StartRead();
        } else {
            readPaused_ = true;
        }
        return;
    }
    Close();
    readBuffer_.Reset();
    EndIoIfIdle(guard);
}

unsigned NamedPipeSocket::NextWriteRegions(Region* regions, unsigned capacity, unsigned skip) {
    KX_CHECK(lock_.IsHeldByCurrentThread());
    if (!writeChain_ && !outgoing_.IsEmpty()) writeChain_ = outgoing_.TakeNext();
    unsigned count = 0;
    Buffer* tail = nullptr;
    for (Buffer* buffer = writeChain_.Get(); count < capacity; buffer = buffer->GetNext().Get()) {
        if (buffer == nullptr) {
            // Every byte taken is being written: a further write carries the next unit.
            if (count != 0 || tail == nullptr || outgoing_.IsEmpty()) break;
            tail->SetNext(outgoing_.TakeNext());
            buffer = tail->GetNext().Get();
        }
        const unsigned char* region;
        const unsigned size = buffer->GetReadRegion(&region);
        const unsigned skipped = skip < size ? skip : size;
        skip -= skipped;
        if (size != skipped) regions[count++] = Region{region + skipped, size - skipped};
        tail = buffer;
    }
    return count;
}

bool NamedPipeSocket::OnWriteComplete(unsigned error, unsigned count, bool laterWriteOut) {
    BufferBatch batch;
    ScopedLock guard(&lock_);
    if (error == 0 && !IsClosed()) {
        // Consume what went out, releasing each buffer once it is written (or was empty).
        while (writeChain_ && (count > 0 || writeChain_->Remaining() == 0)) {
            count -= writeChain_->Read(nullptr, count, false);
            if (writeChain_->Remaining() == 0) writeChain_ = writeChain_->GetNext();
        }
        if (writeChain_ || !outgoing_.IsEmpty()) return true;
        writing_ = false;
        SignalSent.Emit();
        return false;
    }
    Close();
    if (laterWriteOut) return true;
    writeChain_.Reset();
    writing_ = false;
    EndIoIfIdle(guard);
    return false;
}

void NamedPipeSocket::Open(PipeHandle handle) {
    handle_ = handle;
    closed_.Store(0);
    self_ = GetSharedPtr();
    StartRead();
}

void NamedPipeSocket::StartRead() {
    KX_CHECK(lock_.IsHeldByCurrentThread());
    KX_CHECK(!readBuffer_);
    readBuffer_ = SharedPtr<Buffer>(new Buffer);
    NamedPipeReceiveLoop::PipeData request;
    request.handle = handle_;
    request.buffer = readBuffer_;
    request.socket = this;
    request.kind = NamedPipeReceiveLoop::kRead;
    NamedPipeReceiveLoop::Instance()->AddPipe(request);
}

void NamedPipeSocket::StartWrite() {
    KX_CHECK(lock_.IsHeldByCurrentThread());
    writing_ = true;
    NamedPipeReceiveLoop::PipeData request;
    request.handle = handle_;
    request.socket = this;
    request.kind = NamedPipeReceiveLoop::kWrite;
    NamedPipeReceiveLoop::Instance()->AddPipe(request);
}

void NamedPipeSocket::EndIoIfIdle(ScopedLock& guard) {
    if (!IsClosed() || readBuffer_ || readPaused_ || writing_ || !self_) return;
    const PipeHandle handle = handle_;
    handle_ = InvalidPipeHandle();
    SharedPtr<NamedPipeSocket> self = self_;
    self_.Reset();
    guard.Unlock();
    ClosePipeHandle(handle);
    // `self` is released last: that may destroy this socket.
}

}  // namespace clientbox
}  // namespace kx
