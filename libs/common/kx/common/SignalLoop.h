#pragma once

#include "kx/common/Atomic.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/Event.h"
#include "kx/common/Functor.h"
#include "kx/common/RingQueue.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace common {

// A background thread that runs queued functors one at a time, first in, first out. Every signal
// handler of the library runs on the process-wide loop (Instance). Post may be called on any
// thread; functors run without any library lock held, so they may post further functors, emit
// signals or take other objects' locks.
class SignalLoop {
public:
    // The state shared between a loop object and its thread. The lock guards the queue, the
    // stop flag and the wake flags; it is the innermost lock of the library, and nothing is
    // called out while it is held. Each queue has one consumer, its loop thread, which waits on
    // the work event only when it has found the queue empty; a functor posted meanwhile sets
    // the event (once), and the wait that ends takes the signal. So a busy loop costs no event
    // call, and a sleeping one one Set per wake-up and no Reset (each a kernel call).
    class SharedData {
    public:
        // Empty queue with room for 1024 functors inside the object, event not signalled, not
        // stopped.
        SharedData() : work_(Event::kAutoReset), stopped_(false), waiting_(false), woken_(false) {}

        // Deletes the functors that are still queued, without running them.
        ~SharedData();

        SharedData(const SharedData&) = delete;
        SharedData& operator=(const SharedData&) = delete;

        // Appends `functor` (not null) to the queue, taking ownership, and signals the work.
        void Post(Functor* functor);

        // Waits at most 100 ms for work unless some is queued. Returns the oldest queued functor,
        // now owned by the caller, or null on time-out. Only the consumer thread may call it.
        Functor* TakeNext();

        bool IsStopped();
        void Stop();

        // How many functors the queue can hold before it grows; a diagnostic for tests.
        unsigned GetQueueCapacity();

    private:
        CriticalSection lock_;
        RingQueue<Functor*, 1024> queue_;
        Event work_;
        bool stopped_;
        // The consumer found the queue empty and waits (or is about to wait) on `work_`.
        bool waiting_;
        // `work_` was set and no wait has taken the signal yet.
        bool woken_;
    };

    // The process-wide loop, created with its thread on the first call from any thread. Null only
    // when the loop object could not be allocated. Never destroyed.
    static SignalLoop* Instance();

    // Creates the shared state and starts the loop thread (see Start).
    SignalLoop();

    // Asks the thread to stop and lets go of the shared state; does not wait for the thread,
    // which ends within about 100 ms after the functor it is running has returned.
    ~SignalLoop();

    SignalLoop(const SignalLoop&) = delete;
    SignalLoop& operator=(const SignalLoop&) = delete;

    // Starts the loop thread unless it runs already, and returns whether it runs. A start that
    // fails has written its line (StartThread) and is tried again by the next call, so a loop
    // recovers once the platform can create threads again. Any thread.
    bool Start();

    // Queues `functor` (not null) to run on the loop thread after everything posted before it,
    // starting the thread first if it does not run yet; the loop takes ownership and deletes the
    // functor after it ran. Returns false when the thread could not be started: the functor has
    // then been deleted without being run, so nothing piles up behind a loop without a thread,
    // and the poster may refuse the work that needed it. Any thread.
    bool Post(Functor* functor);

    // The body of a loop thread: takes and runs functors until `shared` is stopped, then lets
    // go of its reference.
    static void ThreadMain(SharedPtr<SharedData> shared);

private:
    SharedPtr<SharedData> shared_;
    // Serializes starts, so that one loop never has two threads; taken without any other
    // library lock held, and only for a start.
    CriticalSection startLock_;
    // 1 once the thread has been started; read without the lock on every Post.
    AtomicInt32 started_;
};

}  // namespace common
}  // namespace kx
