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
    if (weak->registry_ == this) return;
    weak->registry_ = this;
    weak->previous_ = lastWeak_;
    weak->next_ = nullptr;
    if (lastWeak_ != nullptr) {
        lastWeak_->next_ = weak;
    } else {
        firstWeak_ = weak;
    }
    lastWeak_ = weak;
    ++weakCount_;
}

void ReferenceCounter::UnregisterWeak(WeakPtrBase* weak) {
    ScopedLock guard(&lock_);
    if (weak->registry_ != this) return;
    if (weak->previous_ != nullptr) {
        weak->previous_->next_ = weak->next_;
    } else {
        firstWeak_ = weak->next_;
    }
    if (weak->next_ != nullptr) {
        weak->next_->previous_ = weak->previous_;
    } else {
        lastWeak_ = weak->previous_;
    }
    weak->registry_ = nullptr;
    weak->previous_ = nullptr;
    weak->next_ = nullptr;
    --weakCount_;
}

unsigned ReferenceCounter::GetWeakCount() {
    ScopedLock guard(&lock_);
    return weakCount_;
}

void ReferenceCounter::InvalidateWeakPointers() {
    ScopedLock guard(&lock_);
    WeakPtrBase* weak = firstWeak_;
    firstWeak_ = nullptr;
    lastWeak_ = nullptr;
    weakCount_ = 0;
    while (weak != nullptr) {
        WeakPtrBase* next = weak->next_;
        weak->registry_ = nullptr;
        weak->previous_ = nullptr;
        weak->next_ = nullptr;
        weak->Invalidate();
        weak = next;
    }
}

}  // namespace common
}  // namespace kx
