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
// thread: each T has its own pool lock, and the pool is created on first use.
template <typename T>
class Pooled {
public:
    // Takes a block from the calling thread's batch or the free list, or a fresh one from the
    // global allocator when both are empty (a failure surfaces as that allocator's failure). `size`
    // must not exceed sizeof(T): classes derived from T need their own allocator.
    static void* operator new(std::size_t size) {
        KX_CHECK(size <= sizeof(T));
        EnsurePool();
        Batch* batch = t_batch_;
        if (batch != nullptr && batch->count_ != 0) return batch->blocks_[--batch->count_];
        ScopedLock guard(lock_);
        // A batch is refilled under the same lock as the heap is counted, so a pool that grows
        // takes the lock once per block.
        if (batch != nullptr) batch->Refill();
        if (batch != nullptr && batch->count_ != 0) return batch->blocks_[--batch->count_];
        if (freeList_->GetCount() != 0) return freeList_->Pop();
        ++heapBlocks_;
        return ::operator new(sizeof(T));
    }

    // Puts the block on the free list (or in the calling thread's batch).
    static void operator delete(void* block) {
        if (block == nullptr) return;
        EnsurePool();
        if (Batch* batch = t_batch_) {
            if (batch->count_ == Batch::kCapacity) batch->Drain(Batch::kCapacity / 2);
            batch->blocks_[batch->count_++] = static_cast<T*>(block);
            return;
        }
        ScopedLock guard(lock_);
        freeList_->Add(static_cast<T*>(block));
    }

    // While alive, the blocks of T that the creating thread takes and gives back pass through
    // the batch's own stock, which is refilled from and drained into the free list half its
    // capacity at a time, under one lock; the rest goes back when the batch ends. For a thread
    // that takes or gives back many blocks in a row while another thread does too: a lock
    // taken for every block makes the two wait on each other for every block. A batch lives on
    // the stack of the thread that created it; batches of one T may nest.
    class Batch {
    public:
        // The most blocks a batch holds. Blocks a thread's batch holds are out of the other
        // threads' reach, so the pool's high-water mark may be higher by this many per thread
        // inside a batch. A lock per eight blocks already spares nearly all the waiting.
        static constexpr unsigned kCapacity = 16;

        Batch() : count_(0), outer_(t_batch_) { t_batch_ = this; }
        ~Batch() {
            t_batch_ = outer_;
            Drain(count_);
        }

        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        friend class Pooled<T>;

        // Takes up to half the capacity from the free list (the pool's lock held).
        void Refill() {
            while (count_ < kCapacity / 2 && freeList_->GetCount() != 0) {
                blocks_[count_++] = freeList_->Pop();
            }
        }
        // Gives back the `count` blocks given to the batch last.
        void Drain(unsigned count) {
            if (count == 0) return;
            ScopedLock guard(lock_);
            for (unsigned i = count_ - count; i < count_; ++i) freeList_->Add(blocks_[i]);
            count_ -= count;
        }

        T* blocks_[kCapacity];
        unsigned count_;
        Batch* outer_;
    };

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
    static void EnsurePool() {
        CreateOnce(&state_, [] {
            lock_ = new CriticalSection;
            freeList_ = new HybridArray<T*, 0>;
        });
    }

    static AtomicInt32 state_;
    static CriticalSection* lock_;
    static HybridArray<T*, 0>* freeList_;
    static unsigned heapBlocks_;
    // The calling thread's innermost batch of T, if any.
    static thread_local Batch* t_batch_;
};

template <typename T>
AtomicInt32 Pooled<T>::state_;
template <typename T>
CriticalSection* Pooled<T>::lock_;
template <typename T>
HybridArray<T*, 0>* Pooled<T>::freeList_;
template <typename T>
unsigned Pooled<T>::heapBlocks_;
template <typename T>
thread_local typename Pooled<T>::Batch* Pooled<T>::t_batch_ = nullptr;

}  // namespace common
}  // namespace kx
