#pragma once

#include "kx/clientbox/Buffer.h"
#include "kx/clientbox/MemoryStream.h"
#include "kx/clientbox/PipeHandle.h"
#include "kx/clientbox/Socket.h"
#include "kx/common/Atomic.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/IntrusivePtrBase.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace clientbox {

class NamedPipeReceiveLoop;

// The client end of a local pipe (see OpenNamedPipe). Reads are issued and completed on the
// process-wide reader thread of NamedPipeReceiveLoop, one read at a time, each into a fresh
// pooled buffer that becomes a link of the incoming chain without being copied. Writes run on
// the thread that calls Send and return when every byte is written or the socket has closed.
//
// Lifetime: create with new and hand the pointer to one SharedPtr<NamedPipeSocket>. From a
// successful Connect or Attach until its read cycle has ended, the socket holds a reference to
// itself, so it lives on after the last outside reference is released until the pipe fails or
// is closed. A socket serves one connection.
//
// Threads: any thread may Connect, Send, Close, Receive and ask IsClosed; the reader thread
// runs OnReadComplete. `lock_` guards the handle, the self reference, the read buffer and both
// streams, and is never held while a write blocks. `writeLock_` is held across a whole
// write-out so chains go out whole and in order; it is taken before `lock_`. Only the reader
// thread closes the pipe handle, after the read cycle has ended and under `writeLock_`, so no
// read or write is ever issued on a handle the socket no longer owns. Close marks the socket
// closed at once and cancels its pending I/O; IsClosed reads that mark without a lock.
class NamedPipeSocket final : public Socket, public common::IntrusivePtrBase<NamedPipeSocket> {
public:
    NamedPipeSocket();
    // The socket must not hold a pipe handle any more (contract); its read cycle keeps it
    // alive until it has let go of the handle.
    ~NamedPipeSocket() override;

    NamedPipeSocket(const NamedPipeSocket&) = delete;
    NamedPipeSocket& operator=(const NamedPipeSocket&) = delete;

    // Opens the pipe `name` (see OpenNamedPipe). The socket must not hold a pipe (contract).
    // On success emits SignalConnected, starts reading and returns true; on failure returns
    // false and nothing changes.
    bool Connect(const char* name);

    // Adopts an open pipe handle (not InvalidPipeHandle(), contract) opened elsewhere, and
    // starts reading; no signal. Same precondition as Connect.
    void Attach(PipeHandle handle);

    void Send(common::SharedPtr<Buffer>& chain) override;
    void Close() override;
    common::SharedPtr<Buffer> Receive() override;
    bool IsClosed() const override { return closed_.Load() != 0; }
    bool IsListening() const override { return false; }

    // Reader thread only: the outstanding read has ended with platform error `error` (0 for
    // success) after `count` bytes were placed in the read buffer's free region (and, where the
    // platform reads several buffers at once, in those of the buffers linked behind it). A success
    // on an open socket queues the bytes, emits SignalReceived and starts the next read; anything
    // else closes the socket, ends the read cycle and lets go of the handle and of the self
    // reference (which may destroy the socket before this returns).
    void OnReadComplete(unsigned error, unsigned count);

private:
    friend class NamedPipeReceiveLoop;

    // Takes `handle` as the open pipe and starts reading (lock held).
    void Open(PipeHandle handle);
    // Registers the next read with the receive loop (lock held, socket open, no read buffer).
    void StartRead();
    // Closes the pipe handle once no write uses it (reader thread, no lock held).
    void ReleaseHandle();

    // Platform part.
    void InitializePlatform();
    void DeletePlatform();
    // One run of bytes of an outgoing chain.
    struct Region {
        const unsigned char* data;
        unsigned count;
    };
    // The most regions Send hands to one WriteRegions call.
    static constexpr unsigned kMaxWriteRegions = 16;
    // Writes from the `count` regions, in order, as much as one platform call takes (POSIX:
    // from all of them at once; Windows: from the first); `*written` gets the byte count.
    // False when the pipe failed or the socket was closed.
    bool WriteRegions(PipeHandle handle, const Region* regions, unsigned count, unsigned* written);
    // Makes pending and future I/O on the handle fail at once; the handle stays open (lock
    // held, socket marked closed).
    void CancelIo();
    static void ClosePipeHandle(PipeHandle handle);

    common::CriticalSection writeLock_;
    common::CriticalSection lock_;
    PipeHandle handle_;
    common::AtomicInt32 closed_;
    common::SharedPtr<NamedPipeSocket> self_;
    common::SharedPtr<Buffer> readBuffer_;
    MemoryStream incoming_;
    MemoryStream outgoing_;
    // The platform's I/O records (Windows: read and write OVERLAPPED, close event); each
    // platform checks at compile time that they fit.
    static constexpr unsigned kPlatformSize = 96;
    alignas(8) unsigned char platform_[kPlatformSize];
};

}  // namespace clientbox
}  // namespace kx
