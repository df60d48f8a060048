#include "kx/common/Event.h"

#include <errno.h>
#include <pthread.h>
#include <time.h>

#include <new>

#include "kx/common/Contract.h"

namespace kx {
namespace common {

namespace {

// The event object behind the handle: the signalled state guarded by a mutex, and a condition
// variable on the monotonic clock for the waiters.
struct PlatformEvent {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    bool signalled;
    // A wait that finds the event signalled takes the signal.
    bool autoReset;
};

PlatformEvent* CreatePlatformEvent(Event::Mode mode) {
    PlatformEvent* event = new (std::nothrow) PlatformEvent;
    if (event == nullptr) return nullptr;
    pthread_condattr_t attributes;
    bool created = false;
    if (pthread_condattr_init(&attributes) == 0) {
        if (pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC) == 0 &&
            pthread_cond_init(&event->changed, &attributes) == 0) {
            if (pthread_mutex_init(&event->mutex, nullptr) == 0) {
                created = true;
            } else {
                pthread_cond_destroy(&event->changed);
            }
        }
        pthread_condattr_destroy(&attributes);
    }
    if (!created) {
        delete event;
        return nullptr;
    }
    event->signalled = false;
    event->autoReset = mode == Event::kAutoReset;
    return event;
}

PlatformEvent* Platform(void* handle) {
    return static_cast<PlatformEvent*>(handle);
}

void SetSignalled(void* handle, bool signalled) {
    PlatformEvent* event = Platform(handle);
    if (event == nullptr) return;
    pthread_mutex_lock(&event->mutex);
    event->signalled = signalled;
    if (signalled) pthread_cond_broadcast(&event->changed);
    pthread_mutex_unlock(&event->mutex);
}

}  // namespace

Event::Event(Mode mode) : handle_(CreatePlatformEvent(mode)), mode_(mode) {}

void Event::Close() {
    PlatformEvent* event = Platform(handle_);
    if (event == nullptr) return;
    pthread_cond_destroy(&event->changed);
    pthread_mutex_destroy(&event->mutex);
    delete event;
    handle_ = nullptr;
}

void Event::Set() {
    SetSignalled(handle_, true);
}

void Event::Reset() {
    SetSignalled(handle_, false);
}

void Event::Wait() {
    PlatformEvent* event = Platform(handle_);
    KX_CHECK(event != nullptr);
    KX_CHECK(pthread_mutex_lock(&event->mutex) == 0);
    while (!event->signalled) KX_CHECK(pthread_cond_wait(&event->changed, &event->mutex) == 0);
    if (event->autoReset) event->signalled = false;
    pthread_mutex_unlock(&event->mutex);
}

void Event::Wait(unsigned milliseconds, bool& signalled) {
    PlatformEvent* event = Platform(handle_);
    KX_CHECK(event != nullptr);
    timespec deadline;
    KX_CHECK(clock_gettime(CLOCK_MONOTONIC, &deadline) == 0);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    KX_CHECK(pthread_mutex_lock(&event->mutex) == 0);
    int result = 0;
    while (!event->signalled && result != ETIMEDOUT) {
        result = pthread_cond_timedwait(&event->changed, &event->mutex, &deadline);
        KX_CHECK(result == 0 || result == ETIMEDOUT);
    }
    signalled = event->signalled;
    if (event->autoReset) event->signalled = false;
    pthread_mutex_unlock(&event->mutex);
}

}  // namespace common
}  // namespace kx
