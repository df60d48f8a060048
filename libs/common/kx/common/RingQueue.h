#pragma once

#include <utility>

#include "kx/common/Contract.h"
#include "kx/common/HybridArray.h"

namespace kx {
namespace common {

// First-in, first-out queue in a ring of slots: adding at the back and taking from the front
// are O(1), whatever the queue holds. The slots are a HybridArray kept full, so the first N live
// inside the object; when every slot is taken, the ring doubles and the elements that had
// wrapped round move once, behind the others. The capacity never shrinks, so a queue that has
// grown to its working size takes nothing more from the heap. Slots not in use hold a fresh
// T (null for pointers). Taking from an empty queue and allocation failures stop the process
// (KX_CHECK). Not thread-safe: a caller sharing one queue between threads holds its own lock.
template <typename T, unsigned N>
class RingQueue final {
public:
    RingQueue() { slots_.Resize(slots_.GetCapacity()); }

    RingQueue(const RingQueue&) = delete;
    RingQueue& operator=(const RingQueue&) = delete;

    // Appends `item` behind every element already queued.
    void PushBack(T item) {
        if (count_ == slots_.GetCount()) Grow();
        slots_.At(Slot(count_)) = std::move(item);
        ++count_;
    }

    // Removes and returns the oldest element; the queue must not be empty (contract).
    T PopFront() {
        KX_CHECK(count_ != 0);
        T& front = slots_.At(head_);
        T item(std::move(front));
        front = T();
        head_ = Slot(1);
        --count_;
        return item;
    }

    // The element `index` places behind the front (0 is the oldest); index < GetCount().
    T& At(unsigned index) {
        KX_CHECK(index < count_);
        return slots_.At(Slot(index));
    }

    unsigned GetCount() const { return count_; }

    // How many elements fit before the ring grows.
    unsigned GetCapacity() const { return slots_.GetCount(); }

private:
    // The slot of the element `offset` places behind the front.
    unsigned Slot(unsigned offset) const {
        const unsigned capacity = slots_.GetCount();
        return head_ < capacity - offset ? head_ + offset : offset - (capacity - head_);
    }

    // Doubles the ring (the array's own growth step) and moves the elements that had wrapped
    // round to the front of the slots into the new slots right behind the others.
    void Grow() {
        const unsigned oldCapacity = slots_.GetCount();
        slots_.Reserve(oldCapacity + 1);
        slots_.Resize(slots_.GetCapacity());
        for (unsigned i = 0; i < head_; ++i) {
            slots_.At(oldCapacity + i) = std::move(slots_.At(i));
            slots_.At(i) = T();
        }
    }

    HybridArray<T, N> slots_;
    unsigned head_ = 0;
    unsigned count_ = 0;
};

}  // namespace common
}  // namespace kx
