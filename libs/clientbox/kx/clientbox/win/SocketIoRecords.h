#pragma once

#include <windows.h>

#include "kx/clientbox/Buffer.h"
#include "kx/common/Pooled.h"

namespace kx {
namespace clientbox {

// A contiguous staging region of `kBytes` for one overlapped pipe call, from a process-wide
// pool. Pipes take no scattered reads or gathered writes, and under an emulation layer every
// pipe call costs a round trip to its server: one call per region rather than one per 4 KiB
// buffer is what makes the transfer rate.
template <unsigned kBytes>
struct PipeRegion : common::Pooled<PipeRegion<kBytes>> {
    static constexpr unsigned kSize = kBytes;
    unsigned char bytes[kBytes];
};

// What one read takes at most: a writer's call of up to 1 MiB (a savegame part or write of the
// largest usual size) arrives in one read. Reads are cut to the socket's bound of unread bytes.
using ReadRegion = PipeRegion<1024u * 1024u>;
// What one write carries at most: the regions of up to 257 buffers, copied together, so the
// body of a 1 MiB savegame write (its data and a few bytes of fields) goes out in one call.
using WriteRegion = PipeRegion<1024u * 1024u + Buffer::kSize>;

// The Windows I/O records of one NamedPipeSocket, kept in its platform storage. Each record's
// hEvent is the socket's own manual-reset event for that direction (null when it could not be
// created), which the call sets when it ends. The regions are taken with the socket and given
// back with it; only the I/O thread touches their bytes.
struct SocketIoRecords {
    // Every read of the socket.
    OVERLAPPED read;
    // Every write of the socket.
    OVERLAPPED write;
    // Where every read lands before its bytes are placed in the socket's read buffers.
    ReadRegion* readRegion;
    // Where the regions of a write are gathered when there are several.
    WriteRegion* writeRegion;
};

// The records kept in a socket's platform storage.
inline SocketIoRecords& IoRecords(unsigned char* storage) {
    return *reinterpret_cast<SocketIoRecords*>(storage);
}

}  // namespace clientbox
}  // namespace kx
