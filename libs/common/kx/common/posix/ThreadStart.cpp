#include "kx/common/ThreadStart.h"

#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

namespace kx {
namespace common {

namespace {

void* ThreadEntry(void* argument) {
    Functor* functor = static_cast<Functor*>(argument);
    functor->Run();
    delete functor;
    return nullptr;
}

}  // namespace

// The shared object is linked with -z nodelete, so no run-time pinning is needed here.
bool StartThread(Functor* functor) {
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error == 0) {
        pthread_t thread;
        error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        if (error == 0) error = pthread_create(&thread, &attributes, &ThreadEntry, functor);
        pthread_attr_destroy(&attributes);
    }
    if (error == 0) return true;
    ReportThreadStartFailure(error);
    delete functor;
    return false;
}

void Sleep(unsigned milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec remaining;
    remaining.tv_sec = milliseconds / 1000;
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

unsigned CurrentThreadId() {
    // The kernel's thread id: 32 bits, unique among live threads, never 0.
    static thread_local unsigned id = static_cast<unsigned>(gettid());
    return id;
}

}  // namespace common
}  // namespace kx
