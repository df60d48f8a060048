#pragma once

#include <cstdint>

#include "kx/common/Atomic.h"

namespace kx {
namespace common {

// Base class of a thread object: derive, implement Run, Start. Run implementations poll
// IsStopRequested and return when it is set. The object must outlive its thread. Start,
// StopAndWait and destruction belong to the owning thread; RequestStop and IsStopRequested may be
// called on any thread. While Run executes, the object is listed in a process-wide table of
// running threads (at most kMaxRunningThreads), guarded by the table's own lock.
class Thread {
public:
    static constexpr unsigned kMaxRunningThreads = 256;

    Thread();

    // Releases the platform's thread handle; does not stop the thread.
    virtual ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // The thread's work.
    virtual void Run() = 0;

    // Starts the thread with the default stack size; the object must not be running a thread
    // already (contract). Returns false when the platform could not create the thread: one
    // line has then gone to the debugger output, and the object may be started again later.
    bool Start();

    // Asks Run to return.
    void RequestStop();

    bool IsStopRequested() const;

    // Asks Run to return and waits at most 5000 ms for the thread to end. Returns whether it
    // ended; the thread must have been started successfully (contract).
    bool StopAndWait();

    // The platform's id of the thread, 0 until it runs.
    unsigned GetThreadId() const;

    // Windows only (POSIX cannot suspend one thread; these are not defined there): suspends
    // the thread, retrying until the platform succeeds or the thread has ended. There is no
    // resume; this is for stopping a process's threads in their tracks.
    void Suspend();

    // Windows only, as Suspend: suspends every running Thread whose id differs from `threadId`.
    static void SuspendAllExcept(unsigned threadId);

    // Number of Thread objects whose Run is executing; a diagnostic for tests.
    static unsigned GetRunningCount();

private:
    // The platform's thread entry, which calls RunListed.
    friend class ThreadEntry;

    static constexpr uintptr_t kNotStarted = static_cast<uintptr_t>(-1);

    // Runs on the new thread: lists the object, records its id, calls Run, unlists it.
    void RunListed();

    // Calls `action` for each running thread while the table's lock is held.
    static void ForEachRunning(void (*action)(Thread* thread, unsigned context), unsigned context);

    // Platform parts: create the thread on RunListed (the handle, or kNotStarted after the
    // failure's line);
    // wait for it to end; release the handle.
    uintptr_t StartPlatform();
    bool WaitPlatform(unsigned milliseconds);
    void ClosePlatform();

    uintptr_t handle_;
    AtomicInt32 stopRequested_;
    AtomicInt32 threadId_;
    // Whether StopAndWait has seen the thread end (owning thread only).
    bool ended_;
};

}  // namespace common
}  // namespace kx
