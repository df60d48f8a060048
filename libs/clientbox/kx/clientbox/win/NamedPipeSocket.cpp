#include "kx/clientbox/NamedPipeSocket.h"

#include <new>

#include "kx/clientbox/win/SocketIoRecords.h"

namespace kx {
namespace clientbox {

void NamedPipeSocket::InitializePlatform() {
    static_assert(sizeof(SocketIoRecords) <= kPlatformSize, "platform storage too small");
    SocketIoRecords* records = new (platform_) SocketIoRecords();
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

// Cancels the outstanding read and write; their completions then end the socket's I/O. The
// handle stays open for the I/O thread.
void NamedPipeSocket::CancelIo() {
    CancelIoEx(handle_, nullptr);
}

void NamedPipeSocket::ClosePipeHandle(PipeHandle handle) {
    // Ends the connection of a server end that was attached; a client end ignores it.
    DisconnectNamedPipe(handle);
    CloseHandle(handle);
}

}  // namespace clientbox
}  // namespace kx
