#pragma once

#include <windows.h>

namespace kx {
namespace clientbox {

// The Windows I/O records of one NamedPipeSocket, kept in its platform storage. Pointer holds
// the socket's address for the completion routines.
struct SocketIoRecords {
    // Every read of the socket.
    OVERLAPPED read;
    // Every write of the socket.
    OVERLAPPED write;
};

}  // namespace clientbox
}  // namespace kx
