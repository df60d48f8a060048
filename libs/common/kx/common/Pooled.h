#pragma once

#include <cstddef>
#include <new>

#include "kx/common/Atomic.h"
#include "kx/common/Contract.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/HybridArray.h"
#include "kx/common/LazyCreation.h"
#include "kx/common/ScopedLock.h"

namespace kx {
namespace common {

// Gives T (which derives from Pooled<T>) a class allocator backed by a process-wide free list of
// blocks of sizeof(T). The most recently freed block is reused first; blocks never go back to
// the heap, so the list only grows to the largest number of T alive at one time. Safe on any
// thread, and the pool is created on first use.
//
// Blocks are often freed on one thread and taken on another (the I/O thread fills buffers that
// the game's thread releases), so freeing takes no lock: a freed block is pushed onto a stack of
// returned blocks with one interlocked exchange, and allocation, under the pool lock, takes the
// whole stack over once its own list is empty. Taking the whole stack at once is what keeps the
// stack safe without a lock: no block is ever popped from it alone.
template <typename T>
class Pooled {
public:
    // Takes a block from the free list, or a fresh one from the global allocator when the list is
    // empty (a failure surfaces as that allocator's failure). `size` must not exceed sizeof(T):
    // classes derived from T need their own allocator.
    static void* operator new(std::size_t size) {
        KX_CHECK(size <= sizeof(T));
        EnsurePool();
        ScopedLock guard(lock_);
        if (freeList_->GetCount() == 0) TakeReturned();
        if (freeList_->GetCount() != 0) return freeList_->Pop();
        ++heapBlocks_;
        return ::operator new(sizeof(T));
    }

    // Pushes the block onto the returned stack.
    static void operator delete(void* block) {
        if (block == nullptr) return;
        static_assert(sizeof(T) >= sizeof(ReturnedBlock), "a freed block holds its stack link");
        ReturnedBlock* returned = new (block) ReturnedBlock;
        void* head = returned_.Load();
        for (;;) {
            returned->next = static_cast<ReturnedBlock*>(head);
            void* const found = returned_.CompareExchange(returned, head);
            if (found == head) return;
            head = found;
        }
    }

    // How many blocks of T have been taken from the heap so far; a diagnostic for tests.
    static unsigned GetHeapBlockCount() {
        EnsurePool();
        ScopedLock guard(lock_);
        return heapBlocks_;
    }

protected:
    Pooled() {}
    ~Pooled() {}

private:
    // A freed block on the returned stack.
    struct ReturnedBlock {
        ReturnedBlock* next;
    };

    // Moves the returned stack onto the free list, keeping the most recently freed block on top
    // (lock held).
    static void TakeReturned() {
        const unsigned first = freeList_->GetCount();
        for (ReturnedBlock* block = static_cast<ReturnedBlock*>(returned_.Exchange(nullptr));
             block != nullptr;) {
            ReturnedBlock* const next = block->next;
            freeList_->Add(reinterpret_cast<T*>(block));
            block = next;
        }
        for (unsigned low = first, high = freeList_->GetCount(); low + 1 < high; ++low, --high) {
            T* const swapped = freeList_->At(low);
            freeList_->At(low) = freeList_->At(high - 1);
            freeList_->At(high - 1) = swapped;
        }
    }

    static void EnsurePool() {
        CreateOnce(&state_, [] {
            lock_ = new CriticalSection;
            freeList_ = new HybridArray<T*, 0>;
        });
    }

    static AtomicInt32 state_;
    static CriticalSection* lock_;
    // The top of the returned stack.
    static AtomicPointer returned_;
    static HybridArray<T*, 0>* freeList_;
    static unsigned heapBlocks_;
};

template <typename T>
AtomicInt32 Pooled<T>::state_;
template <typename T>
CriticalSection* Pooled<T>::lock_;
template <typename T>
AtomicPointer Pooled<T>::returned_;
template <typename T>
HybridArray<T*, 0>* Pooled<T>::freeList_;
template <typename T>
unsigned Pooled<T>::heapBlocks_;

}  // namespace common
}  // namespace kx
