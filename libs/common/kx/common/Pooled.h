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
    // Takes a block from the free list, or a fresh one from the global allocator when the list is
    // empty (a failure surfaces as that allocator's failure). `size` must not exceed sizeof(T):
    // classes derived from T need their own allocator.
    static void* operator new(std::size_t size) {
        KX_CHECK(size <= sizeof(T));
        EnsurePool();
        ScopedLock guard(lock_);
        if (freeList_->GetCount() != 0) return freeList_->Pop();
        ++heapBlocks_;
        return ::operator new(sizeof(T));
    }

    // Puts the block on the free list.
    static void operator delete(void* block) {
        if (block == nullptr) return;
        EnsurePool();
        ScopedLock guard(lock_);
        freeList_->Add(static_cast<T*>(block));
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
};

template <typename T>
AtomicInt32 Pooled<T>::state_;
template <typename T>
CriticalSection* Pooled<T>::lock_;
template <typename T>
HybridArray<T*, 0>* Pooled<T>::freeList_;
template <typename T>
unsigned Pooled<T>::heapBlocks_;

}  // namespace common
}  // namespace kx
