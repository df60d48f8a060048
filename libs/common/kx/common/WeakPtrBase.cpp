#include "kx/common/WeakPtrBase.h"

#include "kx/common/Atomic.h"

namespace kx {
namespace common {

namespace {

AtomicInt32 g_dyingObjectWaits;

}  // namespace

unsigned WeakPtrBase::GetDyingObjectWaitCount() {
    return static_cast<unsigned>(g_dyingObjectWaits.Load());
}

void WeakPtrBase::CountDyingObjectWait() {
    g_dyingObjectWaits.Increment();
}

}  // namespace common
}  // namespace kx
