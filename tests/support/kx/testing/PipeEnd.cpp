#include "kx/testing/PipeEnd.h"

#include <vector>

namespace kx {
namespace testing {

namespace {

// What is left of `wait`, begun at `start`; no limit stays no limit.
Wait Remaining(Wait wait, std::chrono::steady_clock::time_point start) {
    if (wait == kNoTimeLimit) return wait;
    const auto spent = std::chrono::duration_cast<Wait>(std::chrono::steady_clock::now() - start);
    return spent >= wait ? Wait(0) : wait - spent;
}

}  // namespace

bool PipeEnd::ReadExact(void* buffer, std::size_t size, Wait wait) {
    const auto start = std::chrono::steady_clock::now();
    char* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const long got = ReadSome(bytes, size, Remaining(wait, start));
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

long long PipeEnd::ReadToEnd(Wait wait) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> scratch(64 * 1024);
    long long total = 0;
    for (;;) {
        const long got = ReadSome(scratch.data(), scratch.size(), Remaining(wait, start));
        if (got < 0) return -1;
        if (got == 0) return total;
        total += got;
    }
}

}  // namespace testing
}  // namespace kx
