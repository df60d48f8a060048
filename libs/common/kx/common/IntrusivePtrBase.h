#pragma once

#include "kx/common/Contract.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/TemplatedReferenceCounter.h"

namespace kx {
namespace common {

// Base class of a T that creates its own reference counter (count 1) while it is constructed,
// so that the object can hand out shared pointers to itself (GetSharedPtr), even from its own
// constructor. Create the object with new and hand the raw pointer to exactly one SharedPtr<T>,
// which adopts the initial reference; the last release deletes the object.
template <typename T>
class IntrusivePtrBase {
public:
    IntrusivePtrBase(const IntrusivePtrBase&) = delete;
    IntrusivePtrBase& operator=(const IntrusivePtrBase&) = delete;

    // A new shared pointer to this object. The object's count must not have reached 0
    // (contract); any thread that already holds a reference, directly or through the object's
    // own code, may call it.
    SharedPtr<T> GetSharedPtr() {
        KX_CHECK(counter_->AddReference() != 1);
        return SharedPtr<T>(counter_, static_cast<T*>(this),
                            typename SharedPtr<T>::AdoptReference());
    }

protected:
    IntrusivePtrBase() : counter_(new TemplatedReferenceCounter<T>(nullptr)) {}
    ~IntrusivePtrBase() {}

private:
    friend class SharedPtr<T>;

    // The object's counter; it outlives the object and goes back to its pool after it.
    TemplatedReferenceCounter<T>* counter_;
};

}  // namespace common
}  // namespace kx
