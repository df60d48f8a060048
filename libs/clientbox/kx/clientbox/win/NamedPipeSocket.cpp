#include "kx/clientbox/NamedPipeSocket.h"

#include <new>

#include "kx/clientbox/win/SocketIoRecords.h"

namespace kx {
namespace clientbox {

void NamedPipeSocket::InitializePlatform() {
    static_assert(sizeof(SocketIoRecords) <= kPlatformSize, "platform storage too small");
    SocketIoRecords* records = new (platform_) SocketIoRecords();
    InitializeSRWLock(&records->issueLock);
    // Kept for the socket's life: an event call per record and socket, none per read or write.
    records->read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (WriteCall& write : records->writes) {
        write.record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    records->readRegion = new ReadRegion;
}

void NamedPipeSocket::DeletePlatform() {
    SocketIoRecords& records = IoRecords(platform_);
    if (records.read.hEvent != nullptr) CloseHandle(records.read.hEvent);
    for (WriteCall& write : records.writes) {
        if (write.record.hEvent != nullptr) CloseHandle(write.record.hEvent);
        delete write.region;
    }
    delete records.readRegion;
    records.~SocketIoRecords();
}

// Cancels the outstanding read and writes; their completions then end the socket's I/O. The
// handle stays open for the I/O thread. The writes go newest first, so that at no moment is a
// write cancelled while one behind it can still go out.
void NamedPipeSocket::CancelIo() {
    SocketIoRecords& records = IoRecords(platform_);
    AcquireSRWLockExclusive(&records.issueLock);
    for (unsigned order = records.writesOut; order-- != 0;) {
        CancelIoEx(handle_, &records.WriteInOrder(order).record);
    }
    CancelIoEx(handle_, nullptr);
    ReleaseSRWLockExclusive(&records.issueLock);
}

void NamedPipeSocket::ClosePipeHandle(PipeHandle handle) {
    // Ends the connection of a server end that was attached; a client end ignores it.
    DisconnectNamedPipe(handle);
    CloseHandle(handle);
}

}  // namespace clientbox
}  // namespace kx
