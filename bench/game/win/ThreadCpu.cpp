#include "game/ThreadCpu.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

namespace kx {
namespace bench {

namespace {

uint64_t ToNanoseconds(const FILETIME& time) {
    const uint64_t units = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return units * 100;  // FILETIME counts 100-nanosecond units
}

}  // namespace

bool CountsWakeups() {
    return false;
}

std::vector<ThreadCpuSample> SampleOtherThreads() {
    std::vector<ThreadCpuSample> samples;
    const DWORD process = GetCurrentProcessId();
    const DWORD self = GetCurrentThreadId();
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return samples;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != process || entry.th32ThreadID == self) continue;
        const HANDLE thread =
            OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (thread == nullptr) continue;
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
            ThreadCpuSample sample;
            sample.threadId = entry.th32ThreadID;
            sample.cpuNanoseconds = ToNanoseconds(kernel) + ToNanoseconds(user);
            samples.push_back(sample);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return samples;
}

uint64_t CurrentThreadCpuNanoseconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    return ToNanoseconds(kernel) + ToNanoseconds(user);
}

}  // namespace bench
}  // namespace kx
