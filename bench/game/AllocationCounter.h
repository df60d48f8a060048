#pragma once

#include <cstdint>

namespace kx {
namespace bench {

// Counts the heap allocations of the whole process, on every thread, between Start and Stop.
// POSIX: the program replaces malloc and its relatives (operator new ends there too) with
// counting wrappers around the C library's allocator. Windows: not measured (IsSupported is
// false). Start and Stop belong to one thread; the count itself is kept atomically.
namespace allocation_counter {

// How many return addresses a kept stack holds, and how many stacks are kept at most.
constexpr unsigned kMaxFrames = 32;
constexpr unsigned kMaxStacks = 1u << 14;

bool IsSupported();

// Starts counting from 0. With `keepStacks`, the call stack of each counted allocation is kept
// too (up to kMaxStacks), for itemizing what allocates; keeping them slows allocation down.
void Start(bool keepStacks);

// Stops counting; returns the number of allocations since Start.
uint64_t Stop();

// The stacks kept since the last Start: their count, and each one's return addresses,
// innermost first (`*depth` of them), from the caller of the allocation function on. Valid
// until the next Start.
unsigned GetStackCount();
void* const* GetStack(unsigned index, unsigned* depth);

}  // namespace allocation_counter

}  // namespace bench
}  // namespace kx
