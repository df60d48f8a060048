#pragma once

#include <cstdint>

namespace kx {
namespace common {

// A signed 32-bit value that threads change only through interlocked operations. Every access,
// reads included, is atomic and sequentially consistent, so values shared without a lock
// (reference counts, lazy-creation state words, a lock's owner) are race-free. The initial value
// is a constant, so process-wide instances are ready before any static constructor runs.
class AtomicInt32 {
public:
    constexpr explicit AtomicInt32(int32_t initial = 0) : value_(initial) {}

    AtomicInt32(const AtomicInt32&) = delete;
    AtomicInt32& operator=(const AtomicInt32&) = delete;

    // Adds one; returns the new value.
    int32_t Increment();

    // Subtracts one; returns the new value.
    int32_t Decrement();

    // Stores `exchange` when the value equals `comparand`; returns the value found before.
    int32_t CompareExchange(int32_t exchange, int32_t comparand);

    // Returns the current value.
    int32_t Load() const;

    // Replaces the value.
    void Store(int32_t value);

private:
    volatile int32_t value_;
};

}  // namespace common
}  // namespace kx
