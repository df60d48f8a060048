#include "game/AllocationCounter.h"

#include <errno.h>
#include <execinfo.h>
#include <stddef.h>

#include <atomic>

// The C library's allocator under its own names, which the replacements below forward to.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace kx {
namespace bench {
namespace allocation_counter {

namespace {

struct Stack {
    void* frames[kMaxFrames];
    unsigned depth;
};

std::atomic<bool> g_counting{false};
std::atomic<bool> g_keepStacks{false};
std::atomic<uint64_t> g_count{0};
std::atomic<unsigned> g_stacksTaken{0};
Stack g_stacks[kMaxStacks];
// Set while this thread records a stack: the unwinder may allocate.
thread_local bool t_recording = false;

void Note() {
    if (!g_counting.load(std::memory_order_relaxed)) return;
    g_count.fetch_add(1, std::memory_order_relaxed);
    if (!g_keepStacks.load(std::memory_order_relaxed) || t_recording) return;
    const unsigned slot = g_stacksTaken.fetch_add(1, std::memory_order_relaxed);
    if (slot >= kMaxStacks) return;
    t_recording = true;
    const int depth = backtrace(g_stacks[slot].frames, static_cast<int>(kMaxFrames));
    g_stacks[slot].depth = depth > 0 ? static_cast<unsigned>(depth) : 0;
    t_recording = false;
}

}  // namespace

bool IsSupported() {
    return true;
}

void Start(bool keepStacks) {
    // The first backtrace loads the unwinder, which allocates: not while counting.
    void* warm[1];
    backtrace(warm, 1);
    g_stacksTaken.store(0);
    g_keepStacks.store(keepStacks);
    g_count.store(0);
    g_counting.store(true);
}

uint64_t Stop() {
    g_counting.store(false);
    return g_count.load();
}

unsigned GetStackCount() {
    const unsigned taken = g_stacksTaken.load();
    return taken < kMaxStacks ? taken : kMaxStacks;
}

void* const* GetStack(unsigned index, unsigned* depth) {
    // The first frame is the replaced allocation function itself.
    const Stack& stack = g_stacks[index];
    *depth = stack.depth > 0 ? stack.depth - 1 : 0;
    return stack.frames + 1;
}

}  // namespace allocation_counter
}  // namespace bench
}  // namespace kx

// The replacements. free is not counted; every other entry point is one allocation.
extern "C" {

void* malloc(size_t size) {
    kx::bench::allocation_counter::Note();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    kx::bench::allocation_counter::Note();
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    kx::bench::allocation_counter::Note();
    return __libc_realloc(block, size);
}

void free(void* block) {
    __libc_free(block);
}

void* memalign(size_t alignment, size_t size) {
    kx::bench::allocation_counter::Note();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    kx::bench::allocation_counter::Note();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** block, size_t alignment, size_t size) {
    kx::bench::allocation_counter::Note();
    void* allocated = __libc_memalign(alignment, size);
    if (allocated == nullptr) return ENOMEM;
    *block = allocated;
    return 0;
}

}  // extern "C"
