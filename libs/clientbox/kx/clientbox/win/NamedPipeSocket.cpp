#include "kx/clientbox/NamedPipeSocket.h"

#include <initializer_list>
#include <new>

#include "kx/clientbox/win/SocketIoRecords.h"

namespace kx {
namespace clientbox {

void NamedPipeSocket::InitializePlatform() {
    static_assert(sizeof(SocketIoRecords) <= kPlatformSize, "platform storage too small");
    SocketIoRecords* records = new (platform_) SocketIoRecords();
    // Kept for the socket's life: two event calls per socket, none per read or write.
    records->read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    records->write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    records->readRegion = new ReadRegion;
    records->writeRegion = new WriteRegion;
}

void NamedPipeSocket::DeletePlatform() {
    SocketIoRecords& records = IoRecords(platform_);
    for (HANDLE event : {records.read.hEvent, records.write.hEvent}) {
        if (event != nullptr) CloseHandle(event);
    }
    delete records.readRegion;
    delete records.writeRegion;
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
