#pragma once

namespace kx {
namespace common {

class ReferenceCounter;

// What a ReferenceCounter's weak registry holds: an observer that the counter clears when its
// object is destroyed. The registry is a doubly linked list through its members, so that a
// weak pointer joins and leaves it in constant time however many others observe the object.
class WeakPtrBase {
public:
    WeakPtrBase() : registry_(nullptr), previous_(nullptr), next_(nullptr) {}

    virtual ~WeakPtrBase() {}

    WeakPtrBase(const WeakPtrBase&) = delete;
    WeakPtrBase& operator=(const WeakPtrBase&) = delete;

    // Forgets the observed object and signals that it has done so. Called only by the counter,
    // from the thread destroying the object, while the counter's lock is held.
    virtual void Invalidate() = 0;

    // How often, process-wide, a weak pointer's Lock found its object with a count of 0 (being
    // destroyed on another thread) and waited for the invalidation. A diagnostic for tests.
    static unsigned GetDyingObjectWaitCount();

protected:
    // Adds one to the diagnostic above.
    static void CountDyingObjectWait();

private:
    friend class ReferenceCounter;

    // The registry links, written and read only under the lock of the counter this weak pointer
    // observes: that counter while registered with it (else null), and the neighbours there.
    ReferenceCounter* registry_;
    WeakPtrBase* previous_;
    WeakPtrBase* next_;
};

}  // namespace common
}  // namespace kx
