#include "kx/common/Atomic.h"

namespace kx {
namespace common {

// The compiler's atomic built-ins, the primitives std::atomic itself is made of: they work on
// the plain 32-bit field that both platforms share, and ThreadSanitizer understands them.

int32_t AtomicInt32::Increment() {
    return __atomic_add_fetch(&value_, 1, __ATOMIC_SEQ_CST);
}

int32_t AtomicInt32::Decrement() {
    return __atomic_sub_fetch(&value_, 1, __ATOMIC_SEQ_CST);
}

int32_t AtomicInt32::CompareExchange(int32_t exchange, int32_t comparand) {
    int32_t found = comparand;
    __atomic_compare_exchange_n(&value_, &found, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return found;
}

int32_t AtomicInt32::Load() const {
    return __atomic_load_n(&value_, __ATOMIC_SEQ_CST);
}

void AtomicInt32::Store(int32_t value) {
    __atomic_store_n(&value_, value, __ATOMIC_SEQ_CST);
}

}  // namespace common
}  // namespace kx
