#include "kx/common/ThreadStart.h"

#include <errno.h>
#include <process.h>
#include <windows.h>

#include "kx/common/Atomic.h"
#include "kx/common/win/ThreadStartFault.h"

namespace kx {
namespace common {

namespace {

AtomicInt32 g_modulePinned;
AtomicInt32 g_startsFail;

// Keeps the module that contains this code loaded until the process ends: a game that frees
// the library while a background thread still runs in it would otherwise crash.
void PinModuleOnce() {
    if (g_modulePinned.CompareExchange(1, 0) != 0) return;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&PinModuleOnce), &module);
}

void __cdecl ThreadEntry(void* argument) {
    Functor* functor = static_cast<Functor*>(argument);
    functor->Run();
    delete functor;
}

}  // namespace

void SetThreadStartsFailForTesting(bool fail) {
    g_startsFail.Store(fail ? 1 : 0);
}

bool ThreadStartsFailForTesting() {
    return g_startsFail.Load() != 0;
}

bool StartThread(Functor* functor) {
    PinModuleOnce();
    int error = EAGAIN;
    if (!ThreadStartsFailForTesting()) {
        if (_beginthread(&ThreadEntry, 0, functor) != static_cast<uintptr_t>(-1)) return true;
        error = errno;
    }
    ReportThreadStartFailure(error);
    delete functor;
    return false;
}

void Sleep(unsigned milliseconds) {
    ::Sleep(milliseconds);
}

unsigned CurrentThreadId() {
    return GetCurrentThreadId();
}

}  // namespace common
}  // namespace kx
