#pragma once

#include "kx/clientbox/Buffer.h"
#include "kx/common/RingQueue.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace clientbox {

// The chains a socket has to write, in order, handed out in the units its writes go out in:
// a chain of more than kOwnWriteBytes on its own, and small chains that follow each other
// linked together into one. A reader that asks for exactly the bytes of a large chain then
// gets them from one write; small ones share a write, which costs less than a call each.
// Threads: none of its own; the socket holds its lock around every call.
class OutgoingChains final {
public:
    static constexpr unsigned kOwnWriteBytes = 64u * 1024u;

    // Queues a sealed, non-empty `chain` behind the others.
    void Push(const common::SharedPtr<Buffer>& chain);
    // True while nothing is queued.
    bool IsEmpty() const { return queue_.GetCount() == 0; }
    // Removes and returns the next unit: the oldest chain, with the small chains right behind
    // it linked to its end when it is small itself. Must not be called on an empty queue
    // (contract).
    common::SharedPtr<Buffer> TakeNext();

private:
    struct Queued {
        common::SharedPtr<Buffer> chain;
        unsigned size = 0;
    };
    common::RingQueue<Queued, 4> queue_;
};

}  // namespace clientbox
}  // namespace kx
