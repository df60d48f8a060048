#pragma once

namespace kx {
namespace common {

// What a ReferenceCounter's weak registry holds: an observer that the counter clears when its
// object is destroyed.
class WeakPtrBase {
public:
    virtual ~WeakPtrBase() {}

    // Forgets the observed object and signals that it has done so. Called only by the counter,
    // from the thread destroying the object, while the counter's lock is held.
    virtual void Invalidate() = 0;

    // How often, process-wide, a weak pointer's Lock found its object with a count of 0 (being
    // destroyed on another thread) and waited for the invalidation. A diagnostic for tests.
    static unsigned GetDyingObjectWaitCount();

protected:
    // Adds one to the diagnostic above.
    static void CountDyingObjectWait();
};

}  // namespace common
}  // namespace kx
