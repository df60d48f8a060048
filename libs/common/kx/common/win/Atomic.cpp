#include "kx/common/Atomic.h"

#include <windows.h>

namespace kx {
namespace common {

static_assert(sizeof(LONG) == sizeof(int32_t), "interlocked functions work on 32-bit LONG");

namespace {

volatile LONG* AsLong(volatile int32_t* value) {
    return reinterpret_cast<volatile LONG*>(value);
}

}  // namespace

int32_t AtomicInt32::Increment() {
    return InterlockedIncrement(AsLong(&value_));
}

int32_t AtomicInt32::Decrement() {
    return InterlockedDecrement(AsLong(&value_));
}

int32_t AtomicInt32::CompareExchange(int32_t exchange, int32_t comparand) {
    return InterlockedCompareExchange(AsLong(&value_), exchange, comparand);
}

int32_t AtomicInt32::Load() const {
    // An interlocked no-op: a full barrier and an atomic read in one.
    return InterlockedCompareExchange(AsLong(const_cast<volatile int32_t*>(&value_)), 0, 0);
}

void AtomicInt32::Store(int32_t value) {
    InterlockedExchange(AsLong(&value_), value);
}

}  // namespace common
}  // namespace kx
