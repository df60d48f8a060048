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

// Performs the reads of every NamedPipeSocket of the process on one reader thread of its own.
// A socket hands in a read request (AddPipe); the reader thread issues it, waits, and reports
// the result to the socket (NamedPipeSocket::OnReadComplete) on that same thread, so socket
// completions run one at a time, in completion order.
//  - Windows: ReadFileEx with a completion routine, run during the thread's alertable wait on
//    the wake event.
//  - POSIX: poll() over the descriptors with a request plus the read end of a wake pipe;
//    readable descriptors are read without blocking. A read that fills its buffer goes on
//    into fresh buffers linked behind it for the bytes already waiting (256 KiB in all at most).
// A request whose socket is closed by the time the thread takes it is not issued: it ends as
// a failed read with 0 bytes.
// Threads: AddPipe on any thread; everything else on the reader thread. The shared record's
// lock guards the pending requests, the wake object and the stop flag; it is never held while
// a socket's lock is taken.
class NamedPipeReceiveLoop {
public:
    // One read request.
    struct PipeData {
        // The socket's pipe handle.
        PipeHandle handle;
        // The empty buffer the read is to fill (the first of a chain, on POSIX).
        common::SharedPtr<Buffer> buffer;
        // The socket to report to; kept alive by its own self reference during the read.
        NamedPipeSocket* socket;
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

        // Copies `request` into the pending list and signals the wake object.
        void Add(const PipeData& request);
        // Moves every pending request to the end of `taken`, in the order they were added,
        // and resets the wake object.
        void TakePending(common::HybridArray<PipeData, 0>* taken);

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
        // Windows: the event handle; POSIX: the read and write ends of a non-blocking pipe.
        intptr_t wake_[2];
        bool stopped_;
    };

    // The process-wide loop, created with its reader thread on the first call from any
    // thread and never destroyed. Null only when the loop could not be allocated.
    static NamedPipeReceiveLoop* Instance();

    // Creates the shared record and starts the reader thread.
    NamedPipeReceiveLoop();
    // Sets the stop flag (seen at the thread's next wake-up) and lets go of the record.
    ~NamedPipeReceiveLoop();

    NamedPipeReceiveLoop(const NamedPipeReceiveLoop&) = delete;
    NamedPipeReceiveLoop& operator=(const NamedPipeReceiveLoop&) = delete;

    // Hands in a read request; the reader thread issues it in its next pass.
    void AddPipe(const PipeData& request);

    // The reader thread's body (platform part): issues requests and runs completions until
    // the record is stopped, then lets go of its reference.
    static void ThreadMain(common::SharedPtr<SharedData> shared);

private:
    common::SharedPtr<SharedData> shared_;
};

}  // namespace clientbox
}  // namespace kx
