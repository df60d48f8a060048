#include "kx/clientbox/NamedPipeSocket.h"

#include <new>

#include "kx/clientbox/win/SocketIoRecords.h"
#include "kx/common/Contract.h"

namespace kx {
namespace clientbox {

namespace {

SocketIoRecords& Records(unsigned char* storage) {
    return *reinterpret_cast<SocketIoRecords*>(storage);
}

}  // namespace

void NamedPipeSocket::InitializePlatform() {
    static_assert(sizeof(SocketIoRecords) <= kPlatformSize, "platform storage too small");
    SocketIoRecords* records = new (platform_) SocketIoRecords();
    records->read.Pointer = static_cast<NamedPipeSocket*>(this);
    records->read.hEvent = nullptr;
    records->write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    records->closed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    KX_CHECK(records->write.hEvent != nullptr && records->closed != nullptr);
}

void NamedPipeSocket::DeletePlatform() {
    SocketIoRecords& records = Records(platform_);
    CloseHandle(records.write.hEvent);
    CloseHandle(records.closed);
    records.~SocketIoRecords();
}

// Pipes take no gathered writes: one region per call.
bool NamedPipeSocket::WriteRegions(PipeHandle handle, const Region* regions, unsigned,
                                   unsigned* written) {
    const unsigned char* data = regions[0].data;
    const unsigned count = regions[0].count;
    SocketIoRecords& records = Records(platform_);
    OVERLAPPED& write = records.write;
    const HANDLE writeEvent = write.hEvent;
    ZeroMemory(&write, sizeof(write));
    write.hEvent = writeEvent;
    if (!WriteFile(handle, data, count, nullptr, &write) && GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    // The write event comes first: a write that completed wins over a close at the same time.
    HANDLE waits[2] = {writeEvent, records.closed};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIoEx(handle, &write);
    }
    DWORD done = 0;
    const BOOL succeeded = GetOverlappedResult(handle, &write, &done, TRUE);
    *written = done;
    return succeeded && done != 0;
}

// Cancels the outstanding read (its completion then ends the read cycle) and any write, and
// releases a write that waits for the pipe; the handle stays open for the reader thread.
void NamedPipeSocket::CancelIo() {
    CancelIoEx(handle_, nullptr);
    SetEvent(Records(platform_).closed);
}

void NamedPipeSocket::ClosePipeHandle(PipeHandle handle) {
    // Ends the connection of a server end that was attached; a client end ignores it.
    DisconnectNamedPipe(handle);
    CloseHandle(handle);
}

}  // namespace clientbox
}  // namespace kx
