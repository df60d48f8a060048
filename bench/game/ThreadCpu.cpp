#include "game/ThreadCpu.h"

namespace kx {
namespace bench {

std::vector<ThreadCpuSample> ThreadCpuSince(const std::vector<ThreadCpuSample>& before,
                                            const std::vector<ThreadCpuSample>& after) {
    std::vector<ThreadCpuSample> spent;
    for (const ThreadCpuSample& now : after) {
        ThreadCpuSample delta = now;
        for (const ThreadCpuSample& then : before) {
            if (then.threadId != now.threadId) continue;
            delta.cpuNanoseconds -= then.cpuNanoseconds;
            delta.wakeups -= then.wakeups;
            break;
        }
        spent.push_back(delta);
    }
    return spent;
}

}  // namespace bench
}  // namespace kx
