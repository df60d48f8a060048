#include "kx/clientbox/NamedPipeReceiveLoop.h"

#include <string.h>
#include <windows.h>

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

// How soon an outstanding write that the wait cannot take (more of them than one wait takes, or
// a socket without its event) is looked at again.
constexpr DWORD kWritePollMilliseconds = 10;

}  // namespace

struct PipeIo {
    // Issues the read of `request` into the socket's read region; a socket closed meanwhile,
    // or a failed issue, ends its read cycle at once.
    static void IssueRead(const NamedPipeReceiveLoop::PipeData& request);
    // The completion routine of every read: places the bytes that arrived in the socket's read
    // buffer and, as far as they reach, in fresh buffers linked behind it, then reports.
    static VOID CALLBACK ReadCompletion(DWORD error, DWORD count, LPOVERLAPPED overlapped);
    // Writes the socket's queued bytes, piece after piece while the pipe takes each at once.
    // True when a write is left outstanding: its end sets the socket's write event, and
    // FinishWrite takes it from there. A socket closed meanwhile, or a failed write, ends the
    // socket's write at once.
    static bool WriteQueued(NamedPipeSocket* socket);
    // Reports the socket's outstanding write once it has ended and writes what is queued
    // behind it. True while a write of the socket is outstanding.
    static bool FinishWrite(NamedPipeSocket* socket);
    // The event that an outstanding write of the socket sets when it ends; null if it has none.
    static HANDLE WriteEvent(NamedPipeSocket* socket);
};

void PipeIo::IssueRead(const NamedPipeReceiveLoop::PipeData& request) {
    NamedPipeSocket* socket = request.socket;
    // Under the socket's lock a Close cannot slip in between the check and the issue: the
    // read is issued on an open socket, or Close cancels it.
    ScopedLock guard(&socket->lock_);
    if (socket->IsClosed()) {
        guard.Unlock();
        socket->OnReadComplete(ERROR_OPERATION_ABORTED, 0);
        return;
    }
    SocketIoRecords& records = IoRecords(socket->platform_);
    // A read is started only while the unread bytes are below the socket's bound, and takes no
    // more than the room left: the region is larger than the overshoot allowed elsewhere.
    const unsigned room = NamedPipeSocket::kMaxIncomingBytes - socket->incoming_.GetSize();
    const DWORD size = room < ReadRegion::kSize ? room : ReadRegion::kSize;
    if (ReadFileEx(request.handle, records.readRegion->bytes, size, &records.read,
                   &ReadCompletion)) {
        return;
    }
    const DWORD error = GetLastError();
    guard.Unlock();
    KX_LOG_AT(common::kLogError, kLogSource, kLogLine)
        << "ReadFileEx failed, error = " << static_cast<int>(error) << ".";
    socket->OnReadComplete(error, 0);
}

VOID CALLBACK PipeIo::ReadCompletion(DWORD error, DWORD count, LPOVERLAPPED overlapped) {
    NamedPipeSocket* socket = static_cast<NamedPipeSocket*>(overlapped->Pointer);
    if (error == 0) {
        ScopedLock guard(&socket->lock_);
        const unsigned char* source = IoRecords(socket->platform_).readRegion->bytes;
        Buffer* buffer = socket->readBuffer_.Get();
        for (unsigned placed = 0; placed < count;) {
            unsigned char* region;
            const unsigned room = buffer->GetWriteRegion(&region);
            const unsigned size = count - placed < room ? count - placed : room;
            memcpy(region, source + placed, size);
            placed += size;
            if (placed == count) break;
            SharedPtr<Buffer> next(new Buffer);
            buffer->SetNext(next);
            buffer = next.Get();
        }
    }
    // Unlocked first: the report may end the socket.
    socket->OnReadComplete(error, count);
}

// A write that the pipe takes at once completes inside WriteFile: no completion routine, so
// none of the wake-ups and calls that delivering one costs. Only a write that waits for room in
// the pipe is waited for, on the socket's event.
bool PipeIo::WriteQueued(NamedPipeSocket* socket) {
    for (;;) {
        DWORD error = ERROR_OPERATION_ABORTED;
        DWORD written = 0;
        {
            ScopedLock guard(&socket->lock_);
            NamedPipeSocket::Region regions[kMaxWriteRegions];
            unsigned count = 0;
            if (socket->IsClosed()) {
                // Ends as aborted, below.
            } else if ((count = socket->NextWriteRegions(regions, kMaxWriteRegions)) == 0) {
                error = 0;
            } else {
                SocketIoRecords& records = IoRecords(socket->platform_);
                // One region goes out as it is; several are copied together, which costs far
                // less than a pipe call each.
                const unsigned char* data = regions[0].data;
                unsigned size = regions[0].count;
                if (count > 1) {
                    size = 0;
                    for (unsigned i = 0; i < count; ++i) {
                        memcpy(records.writeRegion->bytes + size, regions[i].data,
                               regions[i].count);
                        size += regions[i].count;
                    }
                    data = records.writeRegion->bytes;
                }
                if (WriteFile(socket->handle_, data, size, nullptr, &records.write)) {
                    error = GetOverlappedResult(socket->handle_, &records.write, &written, FALSE)
                                ? 0
                                : GetLastError();
                } else {
                    error = GetLastError();
                    if (error == ERROR_IO_PENDING) return true;
                    KX_LOG_AT(common::kLogError, kLogSource, kLogLine)
                        << "WriteFile failed, error = " << static_cast<int>(error) << ".";
                }
            }
        }
        if (!socket->OnWriteComplete(error, written)) return false;
    }
}

bool PipeIo::FinishWrite(NamedPipeSocket* socket) {
    OVERLAPPED& write = IoRecords(socket->platform_).write;
    if (!HasOverlappedIoCompleted(&write)) return true;
    DWORD written = 0;
    // The write has ended: this only reads its outcome. The handle stays open while the socket
    // writes.
    const DWORD error =
        GetOverlappedResult(socket->handle_, &write, &written, FALSE) ? 0 : GetLastError();
    if (!socket->OnWriteComplete(error, written)) return false;
    return WriteQueued(socket);
}

HANDLE PipeIo::WriteEvent(NamedPipeSocket* socket) {
    return IoRecords(socket->platform_).write.hEvent;
}

namespace {

HANDLE WakeEvent(const intptr_t* wake) {
    return reinterpret_cast<HANDLE>(wake[0]);
}

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

// Nothing to do: the wait that ended took the signal. Where a completion ended it instead, a
// signal set meanwhile stays and costs one more pass of the loop: rarer, and no dearer than a
// reset call per wake.
void NamedPipeReceiveLoop::SharedData::ResetWake() {}

void NamedPipeReceiveLoop::ThreadMain(SharedPtr<SharedData> shared) {
    const HANDLE wake = WakeEvent(shared->wake_);
    HybridArray<PipeData, 0> taken;
    // Sockets with a write outstanding; each is kept alive by its own reference while it writes.
    HybridArray<NamedPipeSocket*, 0> writing;
    HybridArray<HANDLE, MAXIMUM_WAIT_OBJECTS> waited;
    shared->BecomeReaderThread();
    while (!shared->IsStopped()) {
        // Requests handed in meanwhile, by other threads or by this one's completions (also
        // those that taking them hands in), are issued before the thread waits again.
        for (shared->TakePending(&taken); taken.GetCount() != 0; shared->TakePending(&taken)) {
            for (unsigned i = 0; i < taken.GetCount(); ++i) {
                if (taken.At(i).kind == kRead) {
                    PipeIo::IssueRead(taken.At(i));
                } else if (PipeIo::WriteQueued(taken.At(i).socket)) {
                    writing.Add(taken.At(i).socket);
                }
            }
            taken.Clear();
        }
        // Writes that ended are reported (which may destroy their socket) and the rest waited
        // for: on their events while the wait takes them all, otherwise by looking again soon.
        unsigned kept = 0;
        DWORD timeout = INFINITE;
        waited.Clear();
        waited.Add(wake);
        for (unsigned i = 0; i < writing.GetCount(); ++i) {
            NamedPipeSocket* socket = writing.At(i);
            if (!PipeIo::FinishWrite(socket)) continue;
            writing.At(kept++) = socket;
            const HANDLE event = PipeIo::WriteEvent(socket);
            if (event != nullptr && waited.GetCount() < MAXIMUM_WAIT_OBJECTS) {
                waited.Add(event);
            } else {
                timeout = kWritePollMilliseconds;
            }
        }
        writing.Truncate(kept);
        // Read completion routines run inside this wait, which then returns WAIT_IO_COMPLETION.
        WaitForMultipleObjectsEx(waited.GetCount(), waited.GetData(), FALSE, timeout, TRUE);
    }
}

}  // namespace clientbox
}  // namespace kx
