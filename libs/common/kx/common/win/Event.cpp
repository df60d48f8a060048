#include "kx/common/Event.h"

#include <windows.h>

#include "kx/common/Contract.h"

namespace kx {
namespace common {

Event::Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void Event::Close() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

void Event::Set() {
    SetEvent(handle_);
}

void Event::Reset() {
    ResetEvent(handle_);
}

void Event::Wait() {
    KX_CHECK(WaitForSingleObject(handle_, INFINITE) == WAIT_OBJECT_0);
}

void Event::Wait(unsigned milliseconds, bool& signalled) {
    const DWORD result = WaitForSingleObject(handle_, milliseconds);
    KX_CHECK(result == WAIT_OBJECT_0 || result == WAIT_TIMEOUT);
    signalled = result == WAIT_OBJECT_0;
}

}  // namespace common
}  // namespace kx
