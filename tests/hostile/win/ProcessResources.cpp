#include "ProcessResources.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <vector>

namespace kx {
namespace testing {

namespace {

// Bytes in the busy blocks of `heap`.
std::int64_t BusyBytes(HANDLE heap) {
    std::int64_t bytes = 0;
    if (!HeapLock(heap)) return 0;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) bytes += entry.cbData;
    }
    HeapUnlock(heap);
    return bytes;
}

// Handles are multiples of 4; one that GetHandleInformation accepts is open. Counted this way
// because GetProcessHandleCount is not implemented everywhere (Wine reports 0).
long OpenHandles() {
    const uintptr_t kLastProbed = 0x10000;
    long count = 0;
    for (uintptr_t value = 4; value <= kLastProbed; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace

// Every heap of the process is walked; nothing to prepare.
void PrepareHeapCount() {}

ProcessResources CountProcessResources() {
    ProcessResources counts;
    const DWORD self = GetCurrentProcessId();
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 thread = {};
        thread.dwSize = sizeof(thread);
        for (BOOL more = Thread32First(snapshot, &thread); more;
             more = Thread32Next(snapshot, &thread)) {
            if (thread.th32OwnerProcessID == self) ++counts.threads;
        }
        CloseHandle(snapshot);
    }
    counts.handles = OpenHandles();
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    heaps.resize(count < heaps.size() ? count : heaps.size());
    for (HANDLE heap : heaps) counts.heapBytes += BusyBytes(heap);
    return counts;
}

}  // namespace testing
}  // namespace kx
