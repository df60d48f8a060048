#pragma once

#include <windows.h>

namespace kx {
namespace clientbox {

// The Windows I/O records of one NamedPipeSocket, kept in its platform storage.
struct SocketIoRecords {
    // Every read of the socket; Pointer holds the socket's address for the completion routine.
    OVERLAPPED read;
    // Every write of the socket, with its own event, so waiting for a write never wakes for
    // the read.
    OVERLAPPED write;
    // Signalled when the socket is closed: a write waiting for the pipe gives up.
    HANDLE closed;
};

}  // namespace clientbox
}  // namespace kx
