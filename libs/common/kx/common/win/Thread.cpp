#include "kx/common/Thread.h"

#include <errno.h>
#include <process.h>
#include <windows.h>

#include "kx/common/ThreadStart.h"
#include "kx/common/win/ThreadStartFault.h"

namespace kx {
namespace common {

// The thread is started with _beginthreadex rather than _beginthread: a _beginthread handle is
// closed by the runtime when the thread ends, so waiting on it or suspending through it could
// reach a closed or reused handle. This handle stays valid until the object is destroyed.

class ThreadEntry {
public:
    static unsigned __stdcall Run(void* thread) {
        static_cast<Thread*>(thread)->RunListed();
        return 0;
    }
};

namespace {

HANDLE AsHandle(uintptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void SuspendUnlessCaller(Thread* thread, unsigned callerId) {
    if (thread->GetThreadId() != callerId) thread->Suspend();
}

}  // namespace

uintptr_t Thread::StartPlatform() {
    int error = EAGAIN;
    if (!ThreadStartsFailForTesting()) {
        const uintptr_t handle = _beginthreadex(nullptr, 0, &ThreadEntry::Run, this, 0, nullptr);
        if (handle != 0) return handle;
        error = errno;
    }
    ReportThreadStartFailure(error);
    return kNotStarted;
}

bool Thread::WaitPlatform(unsigned milliseconds) {
    return WaitForSingleObject(AsHandle(handle_), milliseconds) == WAIT_OBJECT_0;
}

void Thread::ClosePlatform() {
    CloseHandle(AsHandle(handle_));
}

void Thread::Suspend() {
    const HANDLE handle = AsHandle(handle_);
    while (SuspendThread(handle) == static_cast<DWORD>(-1)) {
        if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) return;  // ended: nothing to stop
        ::Sleep(0);
    }
}

void Thread::SuspendAllExcept(unsigned threadId) {
    ForEachRunning(&SuspendUnlessCaller, threadId);
}

}  // namespace common
}  // namespace kx
