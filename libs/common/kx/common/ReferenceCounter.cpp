#include "kx/common/ReferenceCounter.h"

#include "kx/common/ScopedLock.h"

namespace kx {
namespace common {

bool ReferenceCounter::AddReferenceUnlessZero() {
    int32_t count = count_.Load();
    while (count != 0) {
        const int32_t found = count_.CompareExchange(count + 1, count);
        if (found == count) return true;
        count = found;
    }
    return false;
}

void ReferenceCounter::RegisterWeak(WeakPtrBase* weak) {
    ScopedLock guard(&lock_);
    if (weak_.Find(weak) < 0) weak_.Add(weak);
}

void ReferenceCounter::UnregisterWeak(WeakPtrBase* weak) {
    ScopedLock guard(&lock_);
    const int index = weak_.Find(weak);
    if (index >= 0) weak_.RemoveAtFast(static_cast<unsigned>(index));
}

unsigned ReferenceCounter::GetWeakCount() {
    ScopedLock guard(&lock_);
    return weak_.GetCount();
}

void ReferenceCounter::InvalidateWeakPointers() {
    ScopedLock guard(&lock_);
    for (unsigned i = 0; i < weak_.GetCount(); ++i) weak_.At(i)->Invalidate();
}

}  // namespace common
}  // namespace kx
