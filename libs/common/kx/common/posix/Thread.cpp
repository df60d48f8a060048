#include "kx/common/Thread.h"

#include <errno.h>
#include <pthread.h>
#include <time.h>

#include "kx/common/ThreadStart.h"

namespace kx {
namespace common {

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t), "the handle field holds a pthread_t");

class ThreadEntry {
public:
    static void* Run(void* thread) {
        static_cast<Thread*>(thread)->RunListed();
        return nullptr;
    }
};

namespace {

pthread_t AsThread(uintptr_t handle) {
    return static_cast<pthread_t>(handle);
}

}  // namespace

uintptr_t Thread::StartPlatform() {
    pthread_t thread;
    const int error = pthread_create(&thread, nullptr, &ThreadEntry::Run, this);
    if (error == 0) return static_cast<uintptr_t>(thread);
    ReportThreadStartFailure(error);
    return kNotStarted;
}

bool Thread::WaitPlatform(unsigned milliseconds) {
    // pthread_timedjoin_np measures against the realtime clock.
    timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    int result;
    do {
        result = pthread_timedjoin_np(AsThread(handle_), nullptr, &deadline);
    } while (result == EINTR);
    return result == 0;
}

void Thread::ClosePlatform() {
    // A thread that was joined is gone; any other is left to end on its own.
    if (!ended_) pthread_detach(AsThread(handle_));
}

}  // namespace common
}  // namespace kx
