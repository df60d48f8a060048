#include "ProcessResources.h"

#include <dirent.h>
#include <malloc.h>
#include <string.h>
#include <unistd.h>

#include <string>

// Present when a sanitizer runtime serves the heap; it keeps its own count.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace kx {
namespace testing {

namespace {

// Entries of the directory `path`, without "." and "..", and how many of them `accept` takes.
template <typename Accept>
long CountEntries(const char* path, Accept accept) {
    DIR* directory = opendir(path);
    if (directory == nullptr) return -1;
    long count = 0;
    while (dirent* entry = readdir(directory)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        if (accept(entry->d_name)) ++count;
    }
    closedir(directory);
    return count;
}

}  // namespace

// glibc reports only its main arena; with one arena every thread allocates there.
void PrepareHeapCount() {
    mallopt(M_ARENA_MAX, 1);
}

ProcessResources CountProcessResources() {
    ProcessResources counts;
    counts.threads = CountEntries("/proc/self/task", [](const char*) { return true; });
    // The directory being read holds one descriptor itself; it is left out.
    counts.handles = CountEntries("/proc/self/fd", [](const char*) { return true; }) - 1;
    counts.sockets = CountEntries("/proc/self/fd", [](const char* name) {
        char target[64] = {};
        const std::string link = std::string("/proc/self/fd/") + name;
        return readlink(link.c_str(), target, sizeof(target) - 1) > 0 &&
               strncmp(target, "socket:", 7) == 0;
    });
    if (__sanitizer_get_current_allocated_bytes != nullptr) {
        counts.heapBytes = static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
    } else {
        const struct mallinfo2 info = mallinfo2();
        counts.heapBytes = static_cast<std::int64_t>(info.uordblks + info.hblkhd);
    }
    return counts;
}

}  // namespace testing
}  // namespace kx
