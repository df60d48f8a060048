#include "game/ThreadCpu.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace kx {
namespace bench {

namespace {

std::string ReadSmallFile(const std::string& path) {
    std::string contents;
    if (FILE* file = fopen(path.c_str(), "r")) {
        char chunk[1024];
        size_t got;
        while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) contents.append(chunk, got);
        fclose(file);
    }
    return contents;
}

// Run time in nanoseconds: schedstat's first field, or utime + stime of stat in ticks.
uint64_t CpuNanoseconds(const std::string& task) {
    const std::string schedstat = ReadSmallFile(task + "/schedstat");
    if (!schedstat.empty()) return strtoull(schedstat.c_str(), nullptr, 10);
    const std::string stat = ReadSmallFile(task + "/stat");
    // The fields after the command name, which is in parentheses and may hold blanks.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    unsigned long long userTicks = 0;
    unsigned long long systemTicks = 0;
    // State, then ten numbers, then utime and stime (fields 14 and 15 of the line).
    if (sscanf(stat.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
               &userTicks, &systemTicks) != 2) {
        return 0;
    }
    const uint64_t ticks = userTicks + systemTicks;
    return ticks * (1000000000ull / static_cast<uint64_t>(sysconf(_SC_CLK_TCK)));
}

uint64_t ContextSwitches(const std::string& task) {
    const std::string status = ReadSmallFile(task + "/status");
    uint64_t total = 0;
    for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
        const std::size_t at = status.find(std::string("\n") + key);
        if (at != std::string::npos)
            total += strtoull(status.c_str() + at + strlen(key) + 1, nullptr, 10);
    }
    return total;
}

}  // namespace

bool CountsWakeups() {
    return true;
}

std::vector<ThreadCpuSample> SampleOtherThreads() {
    std::vector<ThreadCpuSample> samples;
    const long self = syscall(SYS_gettid);
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return samples;
    while (dirent* entry = readdir(tasks)) {
        const long id = strtol(entry->d_name, nullptr, 10);
        if (id <= 0 || id == self) continue;
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        ThreadCpuSample sample;
        sample.threadId = static_cast<uint64_t>(id);
        sample.cpuNanoseconds = CpuNanoseconds(task);
        sample.wakeups = ContextSwitches(task);
        samples.push_back(sample);
    }
    closedir(tasks);
    return samples;
}

uint64_t CurrentThreadCpuNanoseconds() {
    timespec now;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0;
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace bench
}  // namespace kx
