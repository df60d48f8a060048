#include "kx/common/CriticalSection.h"

#include <pthread.h>

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

// Attempts to take a held lock before sleeping on it.
constexpr unsigned kSpinAttempts = 100;

// Tells the processor that this is a spin-wait loop.
inline void PauseProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

void CriticalSection::InitializePlatform() {
#ifdef PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP
    // A constant, so making a lock is a copy: the library makes one for every shared object.
    static const pthread_mutex_t kRecursive = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
    new (platform_) pthread_mutex_t(kRecursive);
#else
    pthread_mutexattr_t attributes;
    KX_CHECK(pthread_mutexattr_init(&attributes) == 0);
    KX_CHECK(pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0);
    KX_CHECK(pthread_mutex_init(new (platform_) pthread_mutex_t, &attributes) == 0);
    pthread_mutexattr_destroy(&attributes);
#endif
}

void CriticalSection::DeletePlatform() {
    pthread_mutex_destroy(Platform(platform_));
}

void CriticalSection::EnterPlatform() {
    // The library's locks are held for a few hundred instructions at most, so a lock taken by
    // another thread is usually free again before a sleep in the kernel and the wake-up call
    // it needs on release would even begin: try a while before waiting.
    for (unsigned attempt = 0; attempt < kSpinAttempts; ++attempt) {
        if (pthread_mutex_trylock(Platform(platform_)) == 0) return;
        PauseProcessor();
    }
    KX_CHECK(pthread_mutex_lock(Platform(platform_)) == 0);
}

void CriticalSection::LeavePlatform() {
    KX_CHECK(pthread_mutex_unlock(Platform(platform_)) == 0);
}

}  // namespace common
}  // namespace kx
