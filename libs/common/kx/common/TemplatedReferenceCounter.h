#pragma once

#include "kx/common/Contract.h"
#include "kx/common/Pooled.h"
#include "kx/common/ReferenceCounter.h"

namespace kx {
namespace common {

// The reference counter of one object of type T, taken from T's counter pool. Destroy
// invalidates the object's weak pointers, deletes the object and returns the counter to the
// pool, in that order, on the thread that released the last reference.
template <typename T>
class TemplatedReferenceCounter final : public ReferenceCounter,
                                        public Pooled<TemplatedReferenceCounter<T>> {
public:
    // Count 1 for `object`, which may be null for an object that creates its own counter while
    // it is being constructed (see IntrusivePtrBase); AdoptObject then supplies it.
    explicit TemplatedReferenceCounter(T* object) : object_(object) {}

    // Records the fully constructed object of an intrusive counter. Allowed once, and only on a
    // counter created without an object (contract): a second adoption means two owners.
    void AdoptObject(T* object) {
        KX_CHECK(object_ == nullptr);
        object_ = object;
    }

    void Destroy() override {
        InvalidateWeakPointers();
        if (object_ != nullptr) delete object_;
        delete this;
    }

private:
    T* object_;
};

}  // namespace common
}  // namespace kx
