#include "kx/common/Event.h"

#include <windows.h>

#include <new>

#include "kx/common/Contract.h"

namespace kx {
namespace common {

namespace {

// The event behind the handle: the signalled state under a slim lock, and a condition variable
// for the waiters. No kernel object: a set or wait that meets no other thread stays in user
// mode, and one that must wake or sleep takes the cheapest path the platform has (under Wine a
// futex rather than a server request, where an event object costs one on every set and wait).
struct PlatformEvent {
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    bool signalled;
    // A wait that finds the event signalled takes the signal.
    bool autoReset;
};

// The event, read without a lock: null until first needed.
PlatformEvent* Loaded(void* const* slot) {
    return static_cast<PlatformEvent*>(
        InterlockedCompareExchangePointer(const_cast<void**>(slot), nullptr, nullptr));
}

// The event, created by the first Set or wait. Most events (those of the weak pointers that
// every notification carries) are never set nor waited on, so they never allocate. Of two
// threads that create one at once, one deletes its own again.
PlatformEvent* Created(void** slot, Event::Mode mode) {
    PlatformEvent* event = Loaded(slot);
    if (event != nullptr) return event;
    PlatformEvent* created = new (std::nothrow) PlatformEvent;
    KX_CHECK(created != nullptr);
    InitializeSRWLock(&created->lock);
    InitializeConditionVariable(&created->changed);
    created->signalled = false;
    created->autoReset = mode == Event::kAutoReset;
    void* previous = InterlockedCompareExchangePointer(slot, created, nullptr);
    if (previous == nullptr) return created;
    delete created;
    return static_cast<PlatformEvent*>(previous);
}

// Waits on `event` until it is signalled or `milliseconds` (or INFINITE) have passed; takes the
// signal of an auto-reset event. Returns whether it was signalled.
bool WaitFor(PlatformEvent* event, DWORD milliseconds) {
    AcquireSRWLockExclusive(&event->lock);
    const ULONGLONG start = GetTickCount64();
    DWORD remaining = milliseconds;
    while (!event->signalled) {
        if (!SleepConditionVariableSRW(&event->changed, &event->lock, remaining, 0)) {
            KX_CHECK(GetLastError() == ERROR_TIMEOUT);
        }
        if (milliseconds == INFINITE) continue;
        // The condition variable may wake early or for another waiter: wait out the rest.
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= milliseconds) break;
        remaining = milliseconds - static_cast<DWORD>(elapsed);
    }
    const bool signalled = event->signalled;
    if (event->autoReset) event->signalled = false;
    ReleaseSRWLockExclusive(&event->lock);
    return signalled;
}

}  // namespace

Event::Event(Mode mode) : handle_(nullptr), mode_(mode) {}

void Event::Close() {
    delete Loaded(&handle_);
    handle_ = nullptr;
}

void Event::Set() {
    PlatformEvent* event = Created(&handle_, mode_);
    AcquireSRWLockExclusive(&event->lock);
    event->signalled = true;
    // Woken under the lock: a waiter sees the signal only once the setter has let go of the
    // lock, after which the setter no longer touches the event, so the woken thread may
    // destroy it at once. An auto-reset event releases one waiter per set.
    if (event->autoReset) {
        WakeConditionVariable(&event->changed);
    } else {
        WakeAllConditionVariable(&event->changed);
    }
    ReleaseSRWLockExclusive(&event->lock);
}

// An event that was never created was never set.
void Event::Reset() {
    PlatformEvent* event = Loaded(&handle_);
    if (event == nullptr) return;
    AcquireSRWLockExclusive(&event->lock);
    event->signalled = false;
    ReleaseSRWLockExclusive(&event->lock);
}

void Event::Wait() {
    KX_CHECK(WaitFor(Created(&handle_, mode_), INFINITE));
}

void Event::Wait(unsigned milliseconds, bool& signalled) {
    // INFINITE is a wait without a limit; the longest limited wait is one millisecond less.
    const DWORD limit = milliseconds < INFINITE ? milliseconds : INFINITE - 1;
    signalled = WaitFor(Created(&handle_, mode_), limit);
}

}  // namespace common
}  // namespace kx
