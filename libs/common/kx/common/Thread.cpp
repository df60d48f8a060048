#include "kx/common/Thread.h"

#include "kx/common/Contract.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/LazyCreation.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/ThreadStart.h"

namespace kx {
namespace common {

namespace {

constexpr unsigned kStopWaitMilliseconds = 5000;

// The running-thread table; the lock is created on first use and never destroyed, since
// threads may still end while the process shuts down.
AtomicInt32 g_tableState;
CriticalSection* g_tableLock;
Thread* g_running[Thread::kMaxRunningThreads];
unsigned g_runningCount;

CriticalSection* TableLock() {
    CreateOnce(&g_tableState, [] { g_tableLock = new CriticalSection; });
    return g_tableLock;
}

}  // namespace

Thread::Thread() : handle_(kNotStarted), stopRequested_(0), threadId_(0), ended_(false) {}

Thread::~Thread() {
    if (handle_ != kNotStarted) ClosePlatform();
}

bool Thread::Start() {
    KX_CHECK(handle_ == kNotStarted);
    handle_ = StartPlatform();
    return handle_ != kNotStarted;
}

void Thread::RequestStop() {
    stopRequested_.Store(1);
}

bool Thread::IsStopRequested() const {
    return stopRequested_.Load() != 0;
}

bool Thread::StopAndWait() {
    KX_CHECK(handle_ != kNotStarted);
    RequestStop();
    if (!ended_) ended_ = WaitPlatform(kStopWaitMilliseconds);
    return ended_;
}

unsigned Thread::GetThreadId() const {
    return static_cast<unsigned>(threadId_.Load());
}

unsigned Thread::GetRunningCount() {
    ScopedLock guard(TableLock());
    return g_runningCount;
}

void Thread::RunListed() {
    {
        ScopedLock guard(TableLock());
        KX_CHECK(g_runningCount < kMaxRunningThreads);
        threadId_.Store(static_cast<int32_t>(CurrentThreadId()));
        g_running[g_runningCount++] = this;
    }
    Run();
    ScopedLock guard(TableLock());
    for (unsigned i = 0; i < g_runningCount; ++i) {
        if (g_running[i] == this) {
            g_running[i] = g_running[--g_runningCount];
            break;
        }
    }
}

void Thread::ForEachRunning(void (*action)(Thread* thread, unsigned context), unsigned context) {
    ScopedLock guard(TableLock());
    for (unsigned i = 0; i < g_runningCount; ++i) action(g_running[i], context);
}

}  // namespace common
}  // namespace kx
