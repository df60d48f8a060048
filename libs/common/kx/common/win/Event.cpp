#include "kx/common/Event.h"

#include <windows.h>

#include "kx/common/Contract.h"

namespace kx {
namespace common {

namespace {

// The event object, read without a lock: null until first needed.
HANDLE Loaded(void* const* slot) {
    return InterlockedCompareExchangePointer(const_cast<void**>(slot), nullptr, nullptr);
}

// The event object, created by the first Set or wait. Most events (those of the weak pointers
// that every notification carries) are never set nor waited on, and creating and closing an
// event object costs two kernel calls. Of two threads that create one at once, one closes its
// own again.
HANDLE Created(void** slot, Event::Mode mode) {
    const HANDLE handle = Loaded(slot);
    if (handle != nullptr) return handle;
    const HANDLE created = CreateEventW(nullptr, mode == Event::kManualReset, FALSE, nullptr);
    KX_CHECK(created != nullptr);
    const HANDLE previous = InterlockedCompareExchangePointer(slot, created, nullptr);
    if (previous == nullptr) return created;
    CloseHandle(created);
    return previous;
}

}  // namespace

Event::Event(Mode mode) : handle_(nullptr), mode_(mode) {}

void Event::Close() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

void Event::Set() {
    SetEvent(Created(&handle_, mode_));
}

// An event that was never created was never set.
void Event::Reset() {
    const HANDLE handle = Loaded(&handle_);
    if (handle != nullptr) ResetEvent(handle);
}

void Event::Wait() {
    KX_CHECK(WaitForSingleObject(Created(&handle_, mode_), INFINITE) == WAIT_OBJECT_0);
}

void Event::Wait(unsigned milliseconds, bool& signalled) {
    const DWORD result = WaitForSingleObject(Created(&handle_, mode_), milliseconds);
    KX_CHECK(result == WAIT_OBJECT_0 || result == WAIT_TIMEOUT);
    signalled = result == WAIT_OBJECT_0;
}

}  // namespace common
}  // namespace kx
