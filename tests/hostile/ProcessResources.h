#pragma once

#include <cstdint>

namespace kx {
namespace testing {

// What the process holds at one moment, for telling whether repeated work leaks.
struct ProcessResources {
    long threads = 0;            // threads of this process
    long handles = 0;            // open descriptors (POSIX) or handles (Windows)
    long sockets = -1;           // of those, sockets (POSIX); -1 where they cannot be told apart
    std::int64_t heapBytes = 0;  // bytes in heap blocks the process has allocated and not freed
};

// Makes the heap count cover every thread. Call before the process starts its second thread.
void PrepareHeapCount();

// Counts what the process holds now.
ProcessResources CountProcessResources();

}  // namespace testing
}  // namespace kx
