#include "kx/common/CriticalSection.h"

#include <pthread.h>
#include <unistd.h>

#include <new>

#include "kx/common/Contract.h"

namespace kx {
namespace common {

namespace {

pthread_mutex_t* Platform(unsigned char* storage) {
    static_assert(sizeof(pthread_mutex_t) <= 64 && alignof(pthread_mutex_t) <= 8,
                  "pthread_mutex_t must fit the lock's platform storage");
    return reinterpret_cast<pthread_mutex_t*>(storage);
}

// Tells the processor that this is a spin-wait: it saves power and lets the other hardware
// thread of the core run.
inline void PauseProcessor() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

}  // namespace

void CriticalSection::InitializePlatform() {
    pthread_mutexattr_t attributes;
    KX_CHECK(pthread_mutexattr_init(&attributes) == 0);
    KX_CHECK(pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0);
    KX_CHECK(pthread_mutex_init(new (platform_) pthread_mutex_t, &attributes) == 0);
    pthread_mutexattr_destroy(&attributes);
}

void CriticalSection::DeletePlatform() {
    pthread_mutex_destroy(Platform(platform_));
}

void CriticalSection::EnterPlatform() {
    // On one CPU the holder cannot let go while this thread spins.
    static const unsigned spins = sysconf(_SC_NPROCESSORS_ONLN) > 1 ? kSpinCount : 0;
    // The first attempt also lets the holder enter again. The spin then only reads the owner
    // until the lock looks free: an interlocked attempt on every pause would take the lock's
    // cache line from the holder, and slow the very thread it waits for.
    if (pthread_mutex_trylock(Platform(platform_)) == 0) return;
    for (unsigned attempt = 0; attempt < spins; ++attempt) {
        PauseProcessor();
        if (owner_.Load() == 0 && pthread_mutex_trylock(Platform(platform_)) == 0) return;
    }
    KX_CHECK(pthread_mutex_lock(Platform(platform_)) == 0);
}

void CriticalSection::LeavePlatform() {
    KX_CHECK(pthread_mutex_unlock(Platform(platform_)) == 0);
}

}  // namespace common
}  // namespace kx
