#pragma once

namespace kx {
namespace testing {

// While an object of this class lives, every thread that the process tries to start fails to
// start: for real on POSIX (the default stack size is set beyond the address space, so the
// platform cannot map a stack), through the platform layer's test hook on Windows. Meant for
// one test at a time; threads that run already are not affected.
class FailingThreadStarts {
public:
    FailingThreadStarts();
    ~FailingThreadStarts();

    FailingThreadStarts(const FailingThreadStarts&) = delete;
    FailingThreadStarts& operator=(const FailingThreadStarts&) = delete;
};

}  // namespace testing
}  // namespace kx
