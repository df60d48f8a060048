#pragma once

#include "kx/clientbox/Buffer.h"
#include "kx/clientbox/IStream.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace clientbox {

// A byte stream made of a chain of sealed buffers, from head (the buffer at the read position)
// to tail. The chain is never empty: a fresh or reset stream holds one empty sealed buffer,
// which reading passes over. Buffers before head are no longer referenced by the stream.
// Threads: Reset, Append, TakeAll, Read, Skip, Peek and Write take the stream's own recursive
// lock and may be called from any thread. GetSize, GetReadRegion, ConsumeReadRegion, Mark,
// Rewind and ClearMark take no lock: the stream's owner serializes them with everything else
// (the message connection does so under its own lock). An owner's lock is always taken before
// this one.
class MemoryStream : public IStream {
public:
    MemoryStream();
    ~MemoryStream() override;

    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    // Drops all content and the mark; the stream then holds one new empty sealed buffer.
    void Reset();

    // Links a sealed `chain` (contract) after the tail; an empty pointer does nothing. The
    // chain's buffers become part of the stream; the caller should not touch them any more.
    // Bytes of the chain that were read before are not part of the stream, even after Rewind.
    void Append(const common::SharedPtr<Buffer>& chain);

    // Hands over every unread byte as one chain, starting at the first buffer that holds an
    // unread byte, and leaves the stream empty. Empty pointer when nothing was unread.
    common::SharedPtr<Buffer> TakeAll();

    // The unread byte count, kept as the stream changes: asking costs nothing however long
    // the chain is.
    unsigned GetSize() const override { return size_; }
    unsigned Read(void* destination, unsigned count) override;
    unsigned Skip(unsigned count) override;
    unsigned Peek(void* destination, unsigned count) override;
    // Copies `count` bytes (more than 0, contract) into new buffers and appends them; the free
    // space of the tail is not used. Returns `count`.
    unsigned Write(const void* source, unsigned count) override;

    // Moves head past buffers with nothing unread while a successor exists, then points
    // `region` at head's first unread byte and returns the unread count in head (0 only when
    // the whole stream is empty). The region stays valid while the stream keeps that buffer.
    // The next buffer starts loading into the cache meanwhile.
    virtual unsigned GetReadRegion(const unsigned char** region);
    // Consumes the first `count` bytes of the region GetReadRegion last returned (`count` at
    // most its size, contract). Unlike Skip it walks no chain, so it needs no lock of its own.
    void ConsumeReadRegion(unsigned count);

    // Remembers the current read position (head and its position in head).
    void Mark();
    // Returns to the position of the last Mark (contract: a mark exists). The mark stays.
    void Rewind();
    // Forgets the mark.
    void ClearMark();

private:
    // Walks from head over up to `count` unread bytes, copying them to `destination` unless it
    // is null. With `consume`, the bytes are consumed and the last buffer touched becomes head.
    unsigned Take(void* destination, unsigned count, bool consume);

    common::CriticalSection lock_;
    common::SharedPtr<Buffer> head_;
    common::SharedPtr<Buffer> mark_;
    common::SharedPtr<Buffer> tail_;
    // Unread bytes, and bytes consumed since the mark (given back by Rewind).
    unsigned size_;
    unsigned consumedSinceMark_;
};

}  // namespace clientbox
}  // namespace kx
