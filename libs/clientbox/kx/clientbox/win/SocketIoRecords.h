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

// One write call of a socket: its record, its byte count, and the region its bytes are
// gathered into when they lie in several buffers (created on the first such write).
struct WriteCall {
    OVERLAPPED record;
    WriteRegion* region;
    DWORD size;
};

// The Windows I/O records of one NamedPipeSocket, kept in its platform storage. Each record's
// hEvent is the socket's own manual-reset event for that call (null when it could not be
// created), which the call sets when it ends. The regions are taken with the socket and given
// back with it; only the I/O thread touches their bytes.
struct SocketIoRecords {
    // How many writes of a socket may be outstanding at once. A pipe takes them in order; with
    // the next frame's prefix and body already in the pipe while the peer reads the last body,
    // the peer never waits for this thread to gather and issue them.
    static constexpr unsigned kMaxWritesOut = 3;

    // Every read of the socket.
    OVERLAPPED read;
    // Where every read lands before its bytes are placed in the socket's read buffers.
    ReadRegion* readRegion;
    // The write calls, used in turn: `writesOut` of them from `oldestWrite` on are outstanding,
    // in the order they were issued. Only the I/O thread changes them, under `issueLock`.
    WriteCall writes[kMaxWritesOut];
    unsigned oldestWrite;
    unsigned writesOut;
    // Held by the I/O thread from its look at whether the socket is closed to the end of the
    // WriteFile call, and by a close while it cancels the writes, newest first. A write of
    // bytes behind one the close cancelled would leave a gap in the stream: it is either issued
    // before the cancel, and cancelled with the others, or not at all.
    SRWLOCK issueLock;

    // The write call issued `order` calls after the oldest outstanding one; at `writesOut`,
    // the next free one.
    WriteCall& WriteInOrder(unsigned order) {
        return writes[(oldestWrite + order) % kMaxWritesOut];
    }
    // The bytes of the outstanding writes.
    DWORD BytesOut() {
        DWORD bytes = 0;
        for (unsigned i = 0; i < writesOut; ++i) bytes += WriteInOrder(i).size;
        return bytes;
    }
    // Lets go of the oldest outstanding write, once reported. With none left outstanding, the
    // first call is used again: a socket whose writes end at once gathers into one region only.
    void RetireOldestWrite() {
        AcquireSRWLockExclusive(&issueLock);
        --writesOut;
        oldestWrite = writesOut == 0 ? 0 : (oldestWrite + 1) % kMaxWritesOut;
        ReleaseSRWLockExclusive(&issueLock);
    }
};

// The records kept in a socket's platform storage.
inline SocketIoRecords& IoRecords(unsigned char* storage) {
    return *reinterpret_cast<SocketIoRecords*>(storage);
}

}  // namespace clientbox
}  // namespace kx
