#pragma once

#include "kx/common/CriticalSection.h"
#include "kx/common/Event.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/WeakPtrBase.h"

namespace kx {
namespace common {

// Observes an object held by SharedPtr without keeping it alive. Lock gives a SharedPtr while
// the object lives and an empty one once it is gone; the object's counter clears the weak
// pointer (Invalidate) on the thread that destroys the object. Lock may be called on any threads
// at once; construction and destruction belong to the owning thread. The weak pointer's lock
// guards its two pointers; it is never held while the counter's lock is taken.
template <typename T>
class WeakPtr final : public WeakPtrBase {
public:
    // Observes `target`'s object; an empty `target` gives a weak pointer that is empty for good.
    WeakPtr(const SharedPtr<T>& target) : object_(nullptr), counter_(nullptr), observed_(false) {
        Observe(target);
    }

    // Observes the object that `other` observes, if it is still alive.
    WeakPtr(const WeakPtr& other) : object_(nullptr), counter_(nullptr), observed_(false) {
        Observe(other.Lock());
    }

    WeakPtr& operator=(const WeakPtr&) = delete;

    // Stops observing. While the object lives, the weak pointer leaves the object's registry
    // (dropping the temporary reference it took for that may destroy the object). When the
    // object is being or has been destroyed, waits until the destroying thread has finished
    // invalidating this weak pointer, so that thread never touches a destroyed one.
    ~WeakPtr() override {
        SharedPtr<T> alive = Lock();
        if (alive) {
            alive.counter_->UnregisterWeak(this);
        } else if (observed_) {
            invalidated_.Wait();
        }
    }

    // A SharedPtr to the object while it lives, otherwise empty. When the object's count has
    // already reached 0 (its destruction is under way on another thread), waits until that
    // thread has invalidated this weak pointer and returns empty, without touching the count.
    SharedPtr<T> Lock() const {
        ScopedLock guard(&lock_);
        if (counter_ == nullptr) return SharedPtr<T>();
        if (counter_->AddReferenceUnlessZero()) {
            return SharedPtr<T>(counter_, object_, typename SharedPtr<T>::AdoptReference());
        }
        // Invalidate needs this weak pointer's lock.
        guard.Unlock();
        CountDyingObjectWait();
        invalidated_.Wait();
        return SharedPtr<T>();
    }

    // Clears both pointers, then signals the invalidated event. The event comes after the lock
    // is released: a thread woken by it may destroy this weak pointer, lock included.
    void Invalidate() override {
        {
            ScopedLock guard(&lock_);
            object_ = nullptr;
            counter_ = nullptr;
        }
        invalidated_.Set();
    }

private:
    // Copies the pointers under the lock, then registers with the counter after releasing it,
    // so this weak pointer's lock is never held while the counter's lock is taken.
    void Observe(const SharedPtr<T>& target) {
        {
            ScopedLock guard(&lock_);
            object_ = target.object_;
            counter_ = target.counter_;
        }
        if (target.counter_ != nullptr) {
            observed_ = true;
            target.counter_->RegisterWeak(this);
        }
    }

    T* object_;
    ReferenceCounter* counter_;
    mutable CriticalSection lock_;
    mutable Event invalidated_;
    // Whether this weak pointer ever registered with a counter (owner thread only).
    bool observed_;
};

}  // namespace common
}  // namespace kx
