#pragma once

#include "kx/common/Pooled.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace clientbox {

// A fixed 4096-byte link of a byte chain. A buffer is filling (bytes may be written) from its
// creation until Seal, then sealed (bytes may be read) for good. Chains are linked by shared
// pointers: holding the first buffer keeps the whole chain alive. Storage comes from the
// process-wide Buffer pool and goes back to it.
// Threads: no lock. A chain is handed from owner to owner (writer adaptor, connection, socket,
// stream), and the writing and reading sides of one buffer never overlap in time.
class Buffer : public common::Pooled<Buffer> {
public:
    static constexpr unsigned kSize = 4096;
    static constexpr unsigned kFilling = 0;
    static constexpr unsigned kSealed = 1;

    // Filling, empty, no successor; the data is filled with 0xAA.
    Buffer();
    // Fills the data with 0xBB and releases the successor. A long chain whose links nobody
    // else holds is released link by link, not by recursion, so dropping even a very long
    // chain needs little stack.
    ~Buffer();

    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    unsigned GetMode() const { return mode_; }

    // Filling only: points `region` at the first free byte; returns the free byte count.
    unsigned GetWriteRegion(unsigned char** region);

    // Filling only: takes min(count, free bytes), copying them from `source`, or, when
    // `source` is null, committing bytes already placed in the free region. Returns the count
    // taken.
    unsigned Write(const void* source, unsigned count);

    // Filling only: gives back the last `count` written bytes (count must not exceed them).
    void Unwrite(unsigned count);

    // Sealed only: points `region` at the first unread byte; returns the unread byte count.
    unsigned GetReadRegion(const unsigned char** region) const;

    // Sealed only: takes min(count, unread bytes), copying them to `destination` unless it is
    // null, and consumes them unless `peek` is set. Returns the count taken.
    unsigned Read(void* destination, unsigned count, bool peek);

    // Sealed: unread bytes; filling: free bytes.
    unsigned Remaining() const;

    // Seals this buffer and every buffer after it.
    void Seal();

    // The successor, or an empty pointer at the end of the chain.
    const common::SharedPtr<Buffer>& GetNext() const { return next_; }

    // Replaces the successor. A non-empty `chain` must have this buffer's mode (contract).
    void SetNext(const common::SharedPtr<Buffer>& chain);

    // Exchanges the successor with `*chain`, whose buffer, if any, must have this buffer's mode
    // (contract). No count changes: walking a chain this way costs no interlocked operation per
    // link.
    void SwapNext(common::SharedPtr<Buffer>* chain);

    // Filling only: links a fresh buffer behind this one in place of its successor and returns
    // it; the chain holds it. For building a chain link by link.
    Buffer* LinkNewBuffer();

    // Asks the processor to start loading the whole buffer into the cache, ahead of a read. A
    // buffer filled on another core costs a transfer per cache line, and the processor's own
    // prefetching stops at every page boundary, which a buffer crosses once or twice.
    void Prefetch() const;

    // Saves the read position as the read mark.
    void MarkReadPosition() { readMark_ = readPosition_; }
    // Moves the read position back to the read mark.
    void RewindReadPosition() { readPosition_ = readMark_; }

private:
    unsigned mode_;
    unsigned char data_[kSize];
    unsigned filled_;
    unsigned readPosition_;
    unsigned readMark_;
    common::SharedPtr<Buffer> next_;
};

}  // namespace clientbox
}  // namespace kx
