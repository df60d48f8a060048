#pragma once

#include "kx/common/Atomic.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/WeakPtrBase.h"

namespace kx {
namespace common {

// Thread-safe reference count kept beside a shared object, with the registry of the weak
// pointers that observe the object. The count changes only by atomic operations, on any thread;
// the thread whose release brings it to 0 calls Destroy. The counter's lock guards the weak
// registry; it may be held while a weak pointer's lock is taken, never the other way round.
class ReferenceCounter {
public:
    // Count 1: the creator holds the first reference.
    ReferenceCounter() : count_(1) {}

    virtual ~ReferenceCounter() {}

    ReferenceCounter(const ReferenceCounter&) = delete;
    ReferenceCounter& operator=(const ReferenceCounter&) = delete;

    // Destroys the object and then the counter itself; called exactly once, by the thread whose
    // ReleaseReference returned 0.
    virtual void Destroy() = 0;

    // Adds a reference; returns the new count.
    int32_t AddReference() { return count_.Increment(); }

    // Drops a reference; returns the new count. The caller that sees 0 must call Destroy.
    int32_t ReleaseReference() { return count_.Decrement(); }

    // Adds a reference unless the count is 0 (the object is being destroyed); the count is not
    // touched at all in that case. Returns whether a reference was added.
    bool AddReferenceUnlessZero();

    // The current count; a snapshot that other threads may change at once.
    int32_t GetCount() const { return count_.Load(); }

    // Registers a weak pointer to be invalidated when the object dies; a pointer registered
    // already is not added again. A weak pointer observes one counter for its whole life and
    // must unregister before it is destroyed. Constant time.
    void RegisterWeak(WeakPtrBase* weak);

    // Removes a registered weak pointer; an absent one is ignored. Constant time.
    void UnregisterWeak(WeakPtrBase* weak);

    // Number of registered weak pointers.
    unsigned GetWeakCount();

    // Empties the registry and invalidates every weak pointer that was in it, in registration
    // order, under the counter's lock. Each weak pointer is unlinked before its Invalidate,
    // since its owner may destroy it as soon as Invalidate has signalled.
    void InvalidateWeakPointers();

private:
    AtomicInt32 count_;
    // Guards the registry below and the links inside the registered weak pointers.
    CriticalSection lock_;
    WeakPtrBase* firstWeak_ = nullptr;
    WeakPtrBase* lastWeak_ = nullptr;
    unsigned weakCount_ = 0;
};

}  // namespace common
}  // namespace kx
