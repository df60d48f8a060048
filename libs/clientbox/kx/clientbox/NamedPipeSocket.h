#pragma once

#include "kx/clientbox/Buffer.h"
#include "kx/clientbox/MemoryStream.h"
#include "kx/clientbox/OutgoingChains.h"
#include "kx/clientbox/PipeHandle.h"
#include "kx/clientbox/Socket.h"
#include "kx/common/Atomic.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/IntrusivePtrBase.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace clientbox {

class NamedPipeReceiveLoop;
// The receive loop's platform part: issues the socket's reads and writes.
struct PipeIo;

// The client end of a local pipe (see OpenNamedPipe). All I/O runs on the process-wide I/O
// thread of NamedPipeReceiveLoop. Reads go one at a time, each into a fresh pooled buffer (and,
// for a read that brings more, empty buffers the I/O thread links behind it) that becomes a link of
// the incoming chain as it is; once kMaxIncomingBytes are unread, reading pauses until Receive
// takes them. Send only queues its chain and returns at once: the
// I/O thread writes the queue out, chains whole and in order (in the units of OutgoingChains),
// so no caller ever waits for the peer.
//
// Lifetime: create with new and hand the pointer to one SharedPtr<NamedPipeSocket>. From a
// successful Connect or Attach until its I/O has ended (closed, with neither a read nor a
// write left), the socket holds a reference to itself, so it lives on after the last outside
// reference is released until the pipe fails or is closed. A socket serves one connection.
//
// Threads: any thread may Connect, Send, Close, Receive and ask IsClosed; the I/O thread runs
// OnReadComplete, NextWriteRegions and OnWriteComplete. `lock_` guards the handle, the self
// reference, the read buffer, the read and write states and both streams; it is never held
// while anything blocks, nor across a pipe call. Only the I/O thread closes the pipe handle, once
// its I/O has ended, so no read or write is ever issued on a handle the socket no longer owns.
// Close marks the socket closed at once and cancels its pending I/O; IsClosed reads that mark
// without a lock.
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
    // How many received bytes Receive would take now; a diagnostic for tests.
    unsigned GetUnreadByteCount();

    // The most unread received bytes before reading pauses (until Receive takes them).
    static constexpr unsigned kMaxIncomingBytes = 1u << 20;

    // I/O thread only: the outstanding read has ended with platform error `error` (0 for
    // success) after `count` bytes were placed in the read buffer's free region (and, where the
    // platform reads several buffers at once, in those of the buffers linked behind it). A success
    // on an open socket queues the bytes, emits SignalReceived when no unread bytes were queued
    // before (one notification per batch of reads that Receive takes together), and starts the
    // next read (or pauses); anything else closes the socket and ends the read cycle. Once no I/O
    // is left on a closed socket, lets go of the handle and of the self reference (which may
    // destroy the socket before this returns).
    void OnReadComplete(unsigned error, unsigned count);

    // One run of bytes of an outgoing chain.
    struct Region {
        const unsigned char* data;
        unsigned count;
    };
    // I/O thread only, lock held: points up to `capacity` regions at the queued bytes that
    // follow the first `skip` ones (those of writes still outstanding), in order, and returns
    // how many; 0 when there are none. They never reach past one unit of OutgoingChains: when
    // the units taken are all being written, the next one is taken and linked behind them.
    unsigned NextWriteRegions(Region* regions, unsigned capacity, unsigned skip);
    // I/O thread only: the oldest outstanding write has ended with platform error `error` (0
    // for success) after `count` bytes went out; `laterWriteOut` tells whether writes issued
    // after it are still outstanding. Returns true when bytes are left to write, or to be
    // reported, on the socket. When none are, emits SignalSent. A failure closes the socket
    // (which cancels the later writes); the queue and the write cycle end with the report of
    // the last outstanding write, since the later ones' bytes stay in use until then. Like
    // OnReadComplete, may end the socket's I/O and destroy it: when this returns false, the
    // caller must not touch the socket again.
    bool OnWriteComplete(unsigned error, unsigned count, bool laterWriteOut = false);

private:
    friend class NamedPipeReceiveLoop;
    friend struct PipeIo;
    // The receive loop's platform part: issues the socket's reads and writes.
    struct PipeIo;

    // Takes `handle` as the open pipe and starts reading (lock held).
    void Open(PipeHandle handle);
    // Hands the next read to the receive loop (lock held, no read buffer); on a closed socket
    // the loop ends the read cycle with it.
    void StartRead();
    // Hands the queued bytes to the receive loop to write (lock held).
    void StartWrite();
    // On a closed socket with no read and no write left: closes the pipe handle and lets go
    // of the self reference, which may destroy the socket (I/O thread, lock held once by the
    // caller, who must not touch the socket afterwards).
    void EndIoIfIdle(common::ScopedLock& guard);

    // Platform part.
    void InitializePlatform();
    void DeletePlatform();
    // Makes pending and future I/O on the handle fail at once; the handle stays open (lock
    // held, socket marked closed).
    void CancelIo();
    static void ClosePipeHandle(PipeHandle handle);

    common::CriticalSection lock_;
    PipeHandle handle_;
    common::AtomicInt32 closed_;
    common::SharedPtr<NamedPipeSocket> self_;
    // The buffer of the read handed to the receive loop; empty while no read is.
    common::SharedPtr<Buffer> readBuffer_;
    // Reading waits for Receive to take the unread bytes.
    bool readPaused_;
    // The receive loop holds a write request for this socket.
    bool writing_;
    MemoryStream incoming_;
    // Chains queued by Send and not yet taken by the I/O thread.
    OutgoingChains outgoing_;
    // The unit of outgoing_ the I/O thread is writing out (I/O thread only).
    common::SharedPtr<Buffer> writeChain_;
    // The platform's I/O records (Windows: the read's and the writes' OVERLAPPED); each
    // platform checks at compile time that they fit.
    static constexpr unsigned kPlatformSize = 200;
    alignas(8) unsigned char platform_[kPlatformSize];
};

}  // namespace clientbox
}  // namespace kx
