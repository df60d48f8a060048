#include "kx/common/CriticalSection.h"

#include "kx/common/Contract.h"
#include "kx/common/ThreadStart.h"

namespace kx {
namespace common {

CriticalSection::CriticalSection() : depth_(0), owner_(0) {
    InitializePlatform();
}

CriticalSection::~CriticalSection() {
    depth_ = kDestroyedDepth;
    DeletePlatform();
}

void CriticalSection::Lock() {
    EnterPlatform();
    ++depth_;
    owner_.Store(static_cast<int32_t>(CurrentThreadId()));
}

void CriticalSection::Unlock() {
    // The owner test comes first: it is the only field another thread may read race-free, and it
    // also catches a thread unlocking a lock that someone else holds.
    KX_CHECK(IsHeldByCurrentThread());
    KX_CHECK(depth_ != 0 && depth_ != kDestroyedDepth);
    if (--depth_ == 0) owner_.Store(0);
    LeavePlatform();
}

bool CriticalSection::IsHeldByCurrentThread() const {
    return owner_.Load() == static_cast<int32_t>(CurrentThreadId());
}

}  // namespace common
}  // namespace kx
