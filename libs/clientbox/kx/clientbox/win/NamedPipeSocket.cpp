#include "kx/clientbox/NamedPipeSocket.h"

#include <new>

#include "kx/clientbox/win/SocketIoRecords.h"

namespace kx {
namespace clientbox {

void NamedPipeSocket::InitializePlatform() {
    static_assert(sizeof(SocketIoRecords) <= kPlatformSize, "platform storage too small");
    SocketIoRecords* records = new (platform_) SocketIoRecords();
    records->read.Pointer = static_cast<NamedPipeSocket*>(this);
    // Kept for the socket's life: one event call per socket, none per write.
    records->write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    records->readRegion = new ReadRegion;
    records->writeRegion = new WriteRegion;
}

void NamedPipeSocket::DeletePlatform() {
    if (IoRecords(platform_).write.hEvent != nullptr)
        CloseHandle(IoRecords(platform_).write.hEvent);
    delete IoRecords(platform_).readRegion;
    delete IoRecords(platform_).writeRegion;
    IoRecords(platform_).~SocketIoRecords();
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
