#include "kx/clientbox/NamedPipeReceiveLoop.h"

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

// The source unit and line that read-issue failures are logged under.
const char kLogSource[] =
    "..\\..\\..\\..\\..\\libs\\clientbox\\kx\\clientbox\\win\\NamedPipeReceiveLoop";
constexpr int kLogLine = 62;

// The completion routine of every read: runs on the reader thread during its alertable wait.
VOID CALLBACK ReadCompletion(DWORD error, DWORD count, LPOVERLAPPED overlapped) {
    static_cast<NamedPipeSocket*>(overlapped->Pointer)->OnReadComplete(error, count);
}

}  // namespace

struct PipeIo {
    // Issues the write of the socket's next queued bytes; a socket closed meanwhile, or a
    // failed issue, ends its write at once.
    static void IssueWrite(NamedPipeSocket* socket);
    // The completion routine of every write: the next piece goes out from within it, so a
    // queue is written without a pass through the wait loop per piece.
    static VOID CALLBACK WriteCompletion(DWORD error, DWORD count, LPOVERLAPPED overlapped);
};

VOID CALLBACK PipeIo::WriteCompletion(DWORD error, DWORD count, LPOVERLAPPED overlapped) {
    NamedPipeSocket* socket = static_cast<NamedPipeSocket*>(overlapped->Pointer);
    if (socket->OnWriteComplete(error, count)) IssueWrite(socket);
}

void PipeIo::IssueWrite(NamedPipeSocket* socket) {
    DWORD error = ERROR_OPERATION_ABORTED;
    {
        ScopedLock guard(&socket->lock_);
        NamedPipeSocket::Region region;
        if (socket->IsClosed()) {
            // Ends as aborted, below.
        } else if (socket->NextWriteRegions(&region, 1) == 0) {
            error = 0;
        } else {
            OVERLAPPED* overlapped = &reinterpret_cast<SocketIoRecords*>(socket->platform_)->write;
            if (WriteFileEx(socket->handle_, region.data, region.count, overlapped,
                            &WriteCompletion)) {
                return;
            }
            error = GetLastError();
            KX_LOG_AT(common::kLogError, kLogSource, kLogLine)
                << "WriteFileEx failed, error = " << static_cast<int>(error) << ".";
        }
    }
    socket->OnWriteComplete(error, 0);
}

namespace {

HANDLE WakeEvent(const intptr_t* wake) {
    return reinterpret_cast<HANDLE>(wake[0]);
}

}  // namespace

void NamedPipeReceiveLoop::SharedData::CreateWake() {
    wake_[0] = reinterpret_cast<intptr_t>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    wake_[1] = 0;
    KX_CHECK(wake_[0] != 0);
}

void NamedPipeReceiveLoop::SharedData::DestroyWake() {
    CloseHandle(WakeEvent(wake_));
}

void NamedPipeReceiveLoop::SharedData::SignalWake() {
    SetEvent(WakeEvent(wake_));
}

void NamedPipeReceiveLoop::SharedData::ResetWake() {
    ResetEvent(WakeEvent(wake_));
}

void NamedPipeReceiveLoop::ThreadMain(SharedPtr<SharedData> shared) {
    const HANDLE wake = WakeEvent(shared->wake_);
    HybridArray<PipeData, 0> taken;
    while (!shared->IsStopped()) {
        // Completion routines of issued reads run inside this wait, which then returns
        // WAIT_IO_COMPLETION.
        if (WaitForSingleObjectEx(wake, INFINITE, TRUE) != WAIT_OBJECT_0) continue;
        shared->TakePending(&taken);
        for (unsigned i = 0; i < taken.GetCount(); ++i) {
            const PipeData& request = taken.At(i);
            NamedPipeSocket* socket = request.socket;
            if (request.kind == kWrite) {
                PipeIo::IssueWrite(socket);
                continue;
            }
            // Under the socket's lock a Close cannot slip in between the check and the issue:
            // the read is issued on an open socket, or Close cancels it.
            ScopedLock guard(&socket->lock_);
            if (socket->IsClosed()) {
                guard.Unlock();
                socket->OnReadComplete(ERROR_OPERATION_ABORTED, 0);
                continue;
            }
            unsigned char* region;
            const unsigned size = request.buffer->GetWriteRegion(&region);
            OVERLAPPED* overlapped = &reinterpret_cast<SocketIoRecords*>(socket->platform_)->read;
            if (ReadFileEx(request.handle, region, size, overlapped, &ReadCompletion)) continue;
            const DWORD error = GetLastError();
            guard.Unlock();
            KX_LOG_AT(common::kLogError, kLogSource, kLogLine)
                << "ReadFileEx failed, error = " << static_cast<int>(error) << ".";
            socket->OnReadComplete(error, 0);
        }
        taken.Clear();
    }
}

}  // namespace clientbox
}  // namespace kx
