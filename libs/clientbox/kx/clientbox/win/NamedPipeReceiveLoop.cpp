#include "kx/clientbox/NamedPipeReceiveLoop.h"

#include <string.h>
#include <windows.h>

#include "kx/clientbox/BufferBatch.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/clientbox/win/SocketIoRecords.h"
#include "kx/common/Contract.h"
#include "kx/common/ScopedLock.h"
#include "kx/logger/LogRecord.h"

namespace kx {
namespace clientbox {

using common::HybridArray;
using common::ScopedLock;
using common::SharedPtr;

namespace {

// The source unit and line that issue failures are logged under.
const char kLogSource[] =
    "..\\..\\..\\..\\..\\libs\\clientbox\\kx\\clientbox\\win\\NamedPipeReceiveLoop";
constexpr int kLogLine = 62;

// The most buffers whose regions one write gathers.
constexpr unsigned kMaxWriteRegions = WriteRegion::kSize / Buffer::kSize;

// How soon an outstanding call that the wait cannot take (more of them than one wait takes, or
// a socket without its events) is looked at again.
constexpr DWORD kPollMilliseconds = 10;

// The outcome of a call that has ended: 0 or the error, and the byte count.
DWORD CallOutcome(HANDLE handle, OVERLAPPED* call, DWORD* count) {
    *count = 0;
    return GetOverlappedResult(handle, call, count, FALSE) ? 0 : GetLastError();
}

}  // namespace

// Reads and writes are overlapped calls whose end sets an event of their socket; a call that the
// pipe completes at once is reported at once. No call is made under the socket's lock: under an
// emulation layer each is a round trip to its server, which Receive and Send on other threads
// would otherwise wait for. No completion routines: under an emulation layer delivering one
// costs server calls of its own on top of the call's, one of the wake-ups that make the
// round-trip time.
struct PipeIo {
    // Issues the read of `request` into the socket's read region. True when the read is left
    // outstanding, for FinishRead; a read that ends at once is reported at once, and a socket
    // closed meanwhile, or a failed issue, ends its read cycle.
    static bool IssueRead(const NamedPipeReceiveLoop::PipeData& request);
    // Reports the socket's outstanding read once it has ended. True while it is outstanding.
    static bool FinishRead(NamedPipeSocket* socket);
    // Places the bytes of an ended read in the socket's read buffer and, as far as they reach,
    // in fresh buffers linked behind it, then reports the read.
    static void EndRead(NamedPipeSocket* socket, DWORD error, DWORD count);
    // Reports the socket's writes that have ended, oldest first, and issues writes of the
    // bytes queued behind the outstanding ones while fewer than kMaxWritesOut are. True while
    // a write is outstanding. Writes are reported in the order they were issued, which is the
    // order the pipe takes them in; a failure closes the socket, and its write cycle ends with
    // the report of the last outstanding write.
    static bool PumpWrites(NamedPipeSocket* socket);
    // Issues a write of `count` regions in the next free write call. False when it could not
    // be issued: the error is then in `*error`.
    static bool IssueWrite(NamedPipeSocket* socket, const NamedPipeSocket::Region* regions,
                           unsigned count, DWORD* error);
    // The outcome of a read just made on `call`, given what ReadFile returned: ERROR_IO_PENDING
    // while the read is outstanding, else 0 or the error, with the byte count. Reads are made
    // without the socket's lock, so Close's cancel may have come before the call: an
    // outstanding read of a socket closed meanwhile is cancelled here. (Writes need no such
    // look: they are issued under the socket's issue lock, which Close's cancel takes too.)
    static DWORD MadeCallOutcome(NamedPipeSocket* socket, BOOL ended, OVERLAPPED* call,
                                 DWORD* count);
    // The records of the socket's calls.
    static SocketIoRecords& Records(NamedPipeSocket* socket) {
        return IoRecords(socket->platform_);
    }
};

bool PipeIo::IssueRead(const NamedPipeReceiveLoop::PipeData& request) {
    NamedPipeSocket* socket = request.socket;
    DWORD size = 0;
    {
        ScopedLock guard(&socket->lock_);
        // A read is started only while the unread bytes are below the socket's bound, and takes
        // no more than the room left (which can only grow meanwhile): the region is larger than
        // the overshoot allowed elsewhere.
        if (!socket->IsClosed()) {
            const unsigned room = NamedPipeSocket::kMaxIncomingBytes - socket->incoming_.GetSize();
            size = room < ReadRegion::kSize ? room : ReadRegion::kSize;
        }
    }
    DWORD error = ERROR_OPERATION_ABORTED;
    DWORD count = 0;
    if (size != 0) {
        SocketIoRecords& records = Records(socket);
        error = MadeCallOutcome(
            socket,
            ReadFile(request.handle, records.readRegion->bytes, size, nullptr, &records.read),
            &records.read, &count);
        if (error == ERROR_IO_PENDING) return true;
        if (error != 0) {
            // The line that names a read that could not be started, whatever call starts it.
            KX_LOG_AT(common::kLogError, kLogSource, kLogLine)
                << "ReadFileEx failed, error = " << static_cast<int>(error) << ".";
        }
    }
    EndRead(socket, error, count);
    return false;
}

DWORD PipeIo::MadeCallOutcome(NamedPipeSocket* socket, BOOL ended, OVERLAPPED* call, DWORD* count) {
    if (ended) return CallOutcome(socket->handle_, call, count);
    *count = 0;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
        ScopedLock guard(&socket->lock_);
        if (socket->IsClosed()) CancelIoEx(socket->handle_, call);
    }
    return error;
}

bool PipeIo::FinishRead(NamedPipeSocket* socket) {
    OVERLAPPED& read = Records(socket).read;
    if (!HasOverlappedIoCompleted(&read)) return true;
    DWORD count;
    // The read has ended, so this only takes its outcome. The handle stays open while the
    // socket reads.
    const DWORD error = CallOutcome(socket->handle_, &read, &count);
    EndRead(socket, error, count);
    return false;
}

void PipeIo::EndRead(NamedPipeSocket* socket, DWORD error, DWORD count) {
    // A read fills up to 256 fresh buffers while the game's thread gives back those it parsed.
    BufferBatch batch;
    if (error == 0) {
        // The read's buffers are this thread's until it reports the read, so the bytes are
        // placed without the lock.
        Buffer* buffer;
        {
            ScopedLock guard(&socket->lock_);
            buffer = socket->readBuffer_.Get();
        }
        const unsigned char* source = Records(socket).readRegion->bytes;
        for (unsigned placed = 0; placed < count;) {
            unsigned char* region;
            const unsigned room = buffer->GetWriteRegion(&region);
            const unsigned size = count - placed < room ? count - placed : room;
            memcpy(region, source + placed, size);
            placed += size;
            if (placed == count) break;
            buffer = buffer->LinkNewBuffer();
        }
    }
    // Unlocked first: the report may end the socket.
    socket->OnReadComplete(error, count);
}

bool PipeIo::PumpWrites(NamedPipeSocket* socket) {
    SocketIoRecords& records = Records(socket);
    for (;;) {
        while (records.writesOut != 0) {
            WriteCall& oldest = records.WriteInOrder(0);
            if (!HasOverlappedIoCompleted(&oldest.record)) break;
            DWORD written;
            // The call has ended, so this only takes its outcome. The handle stays open while
            // the socket writes.
            DWORD error = CallOutcome(socket->handle_, &oldest.record, &written);
            records.RetireOldestWrite();
            // The later writes carry the bytes right behind this one's: a short write would
            // leave a gap in the stream.
            if (error == 0 && written != oldest.size && records.writesOut != 0) {
                error = ERROR_WRITE_FAULT;
            }
            if (!socket->OnWriteComplete(error, written, records.writesOut != 0)) return false;
        }
        if (records.writesOut == SocketIoRecords::kMaxWritesOut) return true;
        NamedPipeSocket::Region regions[kMaxWriteRegions];
        unsigned count = 0;
        bool closed;
        {
            ScopedLock guard(&socket->lock_);
            closed = socket->IsClosed();
            if (!closed) {
                count = socket->NextWriteRegions(regions, kMaxWriteRegions, records.BytesOut());
            }
        }
        DWORD error = closed ? ERROR_OPERATION_ABORTED : 0;
        if (count != 0 && IssueWrite(socket, regions, count, &error)) continue;
        // The write cycle ends with the report of the last outstanding write; a write that
        // could not be issued closes the socket, which cancels those.
        if (records.writesOut != 0) {
            if (error != 0 && !closed) socket->Close();
            return true;
        }
        if (!socket->OnWriteComplete(error, 0)) return false;
    }
}

bool PipeIo::IssueWrite(NamedPipeSocket* socket, const NamedPipeSocket::Region* regions,
                        unsigned count, DWORD* error) {
    SocketIoRecords& records = Records(socket);
    WriteCall& call = records.WriteInOrder(records.writesOut);
    // The bytes belong to the write being made, which only this thread ends, so they are
    // gathered and written without the lock. One region goes out as it is; several are copied
    // together, which costs far less than a pipe call each.
    const unsigned char* data = regions[0].data;
    call.size = regions[0].count;
    if (count > 1) {
        if (call.region == nullptr) call.region = new WriteRegion;
        call.size = 0;
        for (unsigned i = 0; i < count; ++i) {
            memcpy(call.region->bytes + call.size, regions[i].data, regions[i].count);
            call.size += regions[i].count;
        }
        data = call.region->bytes;
    }
    // A call that ended at once is reported like one that ends later, in its turn.
    bool issued = false;
    *error = ERROR_OPERATION_ABORTED;
    AcquireSRWLockExclusive(&records.issueLock);
    if (!socket->IsClosed()) {
        *error =
            WriteFile(socket->handle_, data, call.size, nullptr, &call.record) ? 0 : GetLastError();
        issued = *error == ERROR_IO_PENDING || *error == 0;
        if (issued) ++records.writesOut;
    }
    ReleaseSRWLockExclusive(&records.issueLock);
    if (issued) return true;
    if (*error != ERROR_OPERATION_ABORTED) {
        KX_LOG_AT(common::kLogError, kLogSource, kLogLine)
            << "WriteFile failed, error = " << static_cast<int>(*error) << ".";
    }
    return false;
}

namespace {

HANDLE WakeEvent(const intptr_t* wake) {
    return reinterpret_cast<HANDLE>(wake[0]);
}

// A read or write left outstanding; its socket lives by its own reference until the call is
// reported.
struct OutstandingCall {
    NamedPipeSocket* socket;
    NamedPipeReceiveLoop::Kind kind;
};

}  // namespace

// An auto-reset event: the wait that it ends takes the signal, so the thread needs no reset
// call for a wake-up.
void NamedPipeReceiveLoop::SharedData::CreateWake() {
    wake_[0] = reinterpret_cast<intptr_t>(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    wake_[1] = 0;
    KX_CHECK(wake_[0] != 0);
}

void NamedPipeReceiveLoop::SharedData::DestroyWake() {
    CloseHandle(WakeEvent(wake_));
}

void NamedPipeReceiveLoop::SharedData::SignalWake() {
    SetEvent(WakeEvent(wake_));
}

// Nothing to do: the wait that ended took the signal. Where a call's end ended it instead, a
// signal set meanwhile stays and costs one more pass of the loop: rarer, and no dearer than a
// reset call per wake.
void NamedPipeReceiveLoop::SharedData::ResetWake() {}

void NamedPipeReceiveLoop::ThreadMain(SharedPtr<SharedData> shared) {
    HybridArray<PipeData, 0> taken;
    HybridArray<OutstandingCall, 0> outstanding;
    HybridArray<HANDLE, MAXIMUM_WAIT_OBJECTS> waited;
    shared->BecomeReaderThread();
    while (!shared->IsStopped()) {
        // Calls that ended are reported first (which may destroy their socket, or hand in the
        // socket's next read), so that what they hand in is issued before the thread waits.
        unsigned kept = 0;
        for (unsigned i = 0; i < outstanding.GetCount(); ++i) {
            const OutstandingCall call = outstanding.At(i);
            const bool pending = call.kind == kRead ? PipeIo::FinishRead(call.socket)
                                                    : PipeIo::PumpWrites(call.socket);
            if (pending) outstanding.At(kept++) = call;
        }
        outstanding.Truncate(kept);
        // Requests handed in meanwhile, by other threads or by this one's reports (also those
        // that taking them hands in), are issued before the thread waits again.
        for (shared->TakePending(&taken); taken.GetCount() != 0; shared->TakePending(&taken)) {
            for (unsigned i = 0; i < taken.GetCount(); ++i) {
                const PipeData& request = taken.At(i);
                const bool pending = request.kind == kRead ? PipeIo::IssueRead(request)
                                                           : PipeIo::PumpWrites(request.socket);
                if (pending) outstanding.Add(OutstandingCall{request.socket, request.kind});
            }
            taken.Clear();
        }
        // The wait takes the wake event and the events of the outstanding calls, as many as it
        // can; the rest are looked at again soon.
        DWORD timeout = INFINITE;
        waited.Clear();
        waited.Add(WakeEvent(shared->wake_));
        for (unsigned i = 0; i < outstanding.GetCount(); ++i) {
            const OutstandingCall& call = outstanding.At(i);
            SocketIoRecords& records = PipeIo::Records(call.socket);
            const HANDLE event =
                call.kind == kRead ? records.read.hEvent : records.WriteInOrder(0).record.hEvent;
            if (event != nullptr && waited.GetCount() < MAXIMUM_WAIT_OBJECTS) {
                waited.Add(event);
            } else {
                timeout = kPollMilliseconds;
            }
        }
        WaitForMultipleObjects(waited.GetCount(), waited.GetData(), FALSE, timeout);
    }
}

}  // namespace clientbox
}  // namespace kx
