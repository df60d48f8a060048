#pragma once

#include <cstdint>
#include <vector>

namespace kx {
namespace bench {

// CPU time and wake-ups of one thread of this process at one moment.
struct ThreadCpuSample {
    uint64_t threadId = 0;
    uint64_t cpuNanoseconds = 0;
    // Times the thread was switched in, when the platform tells it (see CountsWakeups).
    uint64_t wakeups = 0;
};

// Whether samples carry wake-ups (POSIX) or leave them 0 (Windows).
bool CountsWakeups();

// Samples every thread of this process except the calling one. POSIX: /proc/self/task (run
// time in nanoseconds from schedstat, else from stat in clock ticks; context switches from
// status). Windows: every other thread of the process, the runtime's own included.
std::vector<ThreadCpuSample> SampleOtherThreads();

// CPU time the calling thread has used so far, in nanoseconds (Windows: in steps of the
// platform's accounting tick).
uint64_t CurrentThreadCpuNanoseconds();

// Per thread, what `after` adds to `before` (threads that appeared in between count from 0,
// threads that ended are left out).
std::vector<ThreadCpuSample> ThreadCpuSince(const std::vector<ThreadCpuSample>& before,
                                            const std::vector<ThreadCpuSample>& after);

}  // namespace bench
}  // namespace kx
