#include "kx/devlauncher/StopSignal.h"

#include <windows.h>

namespace kx {
namespace devlauncher {

namespace {

HANDLE stopRequested = nullptr;  // set once before any other thread starts

BOOL WINAPI OnConsoleEvent(DWORD) {
    ::SetEvent(stopRequested);
    return TRUE;
}

}  // namespace

void PrepareStopSignals() {
    stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStopSignal() {
    ::WaitForSingleObject(stopRequested, INFINITE);
}

}  // namespace devlauncher
}  // namespace kx
