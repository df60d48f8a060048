#pragma once

#include <cstdint>

#include "kx/clientbox/Buffer.h"
#include "kx/clientbox/PipeHandle.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/HybridArray.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace clientbox {

class NamedPipeSocket;

// Performs the reads and writes of every NamedPipeSocket of the process on one I/O thread of
// its own (the reader thread). A socket hands in a read or write request (AddPipe); the thread
// issues it, waits, and reports the result to the socket (NamedPipeSocket::OnReadComplete,
// OnWriteComplete) on that same thread, so socket completions run one at a time, in
// completion order. A write request writes out everything the socket has queued, piece after
// piece, until its queue is empty.
//  - Windows: overlapped ReadFile and WriteFile. A call that the pipe completes at once is
//    reported at once; an outstanding one sets its socket's read or write event when it ends,
//    and the thread waits on those events and the wake event (up to 64 in all; further calls are
//    looked at every 10 ms). No completion routines: under an emulation layer delivering one
//    costs server calls of its own. A read takes up to 1 MiB (no more than the socket's bound of
//    unread bytes leaves room for) into the socket's staging region, whose bytes are then
//    placed in the read buffer and fresh buffers linked behind it; a write carries up to 256
//    buffers (1 MiB), copied into the socket's staging region when there are several. Pipes
//    take no scattered or gathered I/O, and one call per region instead of one per buffer is
//    what the rate depends on where each call is a kernel or server round trip.
//  - POSIX: poll() over the descriptors with a request (readable for reads, writable for
//    writes) plus the read end of a wake pipe; ready descriptors are read or written without
//    blocking. A read offers its buffer and the empty buffers the thread keeps linked behind
//    it (256 KiB in all) in one call; a write gathers up to 16 buffers.
// A request whose socket is closed by the time the thread takes it is not issued: it ends as
// a failed read or write with 0 bytes. No pipe call is made under the socket's lock, which
// Receive and Send take on other threads; a Windows call left outstanding is cancelled when
// the socket was closed before it was made.
// Threads: AddPipe on any thread; everything else on the reader thread. The shared record's
// lock guards the pending requests, the wake object, its signalled flag, the waiting flag and
// the stop flag; it is never held while a socket's lock is taken.
class NamedPipeReceiveLoop {
public:
    enum Kind { kRead, kWrite };

    // One read or write request.
    struct PipeData {
        // The socket's pipe handle.
        PipeHandle handle;
        // Reads: the empty buffer the read is to fill (the first of a chain, on POSIX).
        common::SharedPtr<Buffer> buffer;
        // The socket to report to; kept alive by its own self reference during its I/O.
        NamedPipeSocket* socket;
        Kind kind;
    };

    // The record shared between the loop object and its thread.
    class SharedData {
    public:
        // Creates the wake object, not signalled; no requests; not stopped.
        SharedData();
        // Closes the wake object.
        ~SharedData();

        SharedData(const SharedData&) = delete;
        SharedData& operator=(const SharedData&) = delete;

        // Copies `request` into the pending list and, when the reader thread waits (or is about
        // to) and the wake object is not signalled already, signals it. The reader thread's own
        // requests signal nothing.
        void Add(const PipeData& request);
        // Moves every pending request to the end of `taken`, in the order they were added,
        // and resets the wake object (where the wait that ended did not take its signal
        // already). The reader thread calls it in every pass of its loop, and once more right
        // before it waits: finding nothing, it records that the thread waits.
        void TakePending(common::HybridArray<PipeData, 0>* taken);
        // Makes the calling thread this record's reader thread (see Add); called once, first
        // thing, by the thread.
        void BecomeReaderThread();

        bool IsStopped();
        void Stop();

    private:
        friend class NamedPipeReceiveLoop;

        // Platform part: the wake object.
        void CreateWake();
        void DestroyWake();
        void SignalWake();
        void ResetWake();

        common::CriticalSection lock_;
        common::HybridArray<PipeData, 0> pending_;
        // Windows: the handle of an auto-reset event; POSIX: the read and write ends of a
        // non-blocking pipe.
        intptr_t wake_[2];
        // The wake object is signalled (set by Add, cleared by TakePending).
        bool wakeSignalled_;
        // The reader thread found no request and waits, or is about to (set by TakePending,
        // cleared by TakePending and by the reader thread's own requests).
        bool waiting_;
        bool stopped_;
    };

    // The process-wide loop, created with its reader thread on the first call from any
    // thread and never destroyed. Null when the loop could not be allocated or its thread
    // could not be started (the thread start writes one line); creation is not tried again.
    static NamedPipeReceiveLoop* Instance();

    // Creates the shared record and starts the reader thread; IsRunning tells whether it
    // started.
    NamedPipeReceiveLoop();
    // Sets the stop flag (seen at the thread's next wake-up) and lets go of the record.
    ~NamedPipeReceiveLoop();

    NamedPipeReceiveLoop(const NamedPipeReceiveLoop&) = delete;
    NamedPipeReceiveLoop& operator=(const NamedPipeReceiveLoop&) = delete;

    // Whether the reader thread was started.
    bool IsRunning() const { return running_; }

    // Hands in a request; the reader thread issues it in its next pass.
    void AddPipe(const PipeData& request);

    // The reader thread's body (platform part): issues requests and runs completions until
    // the record is stopped, then lets go of its reference.
    static void ThreadMain(common::SharedPtr<SharedData> shared);

private:
    common::SharedPtr<SharedData> shared_;
    bool running_;
};

}  // namespace clientbox
}  // namespace kx
