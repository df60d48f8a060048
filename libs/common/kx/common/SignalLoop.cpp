#include "kx/common/SignalLoop.h"

#include <new>

#include "kx/common/Atomic.h"
#include "kx/common/Contract.h"
#include "kx/common/FunctorFunction1.h"
#include "kx/common/LazyCreation.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/ThreadStart.h"

namespace kx {
namespace common {

namespace {

// How long TakeNext waits for work, which bounds how late the loop notices a stop request.
constexpr unsigned kTakeWaitMilliseconds = 100;

AtomicInt32 g_instanceState;
SignalLoop* g_instance;

}  // namespace

SignalLoop::SharedData::~SharedData() {
    while (queue_.GetCount() != 0) delete queue_.PopFront();
}

void SignalLoop::SharedData::Post(Functor* functor) {
    KX_CHECK(functor != nullptr);
    ScopedLock guard(&lock_);
    queue_.PushBack(functor);
    // A consumer that is not waiting takes the functor in its next pass without a wake; each
    // spared Set is a kernel call.
    if (waiting_ && !woken_) {
        woken_ = true;
        work_.Set();
    }
}

Functor* SignalLoop::SharedData::TakeNext() {
    {
        ScopedLock guard(&lock_);
        if (queue_.GetCount() != 0) return queue_.PopFront();
        waiting_ = true;
    }
    bool signalled = false;
    work_.Wait(kTakeWaitMilliseconds, signalled);
    ScopedLock guard(&lock_);
    waiting_ = false;
    // A Set that came after the wait timed out stays signalled: the next wait takes it.
    if (signalled) woken_ = false;
    return queue_.GetCount() != 0 ? queue_.PopFront() : nullptr;
}

bool SignalLoop::SharedData::IsStopped() {
    ScopedLock guard(&lock_);
    return stopped_;
}

void SignalLoop::SharedData::Stop() {
    ScopedLock guard(&lock_);
    stopped_ = true;
}

unsigned SignalLoop::SharedData::GetQueueCapacity() {
    ScopedLock guard(&lock_);
    return queue_.GetCapacity();
}

SignalLoop* SignalLoop::Instance() {
    CreateOnce(&g_instanceState, [] { g_instance = new (std::nothrow) SignalLoop; });
    return g_instance;
}

SignalLoop::SignalLoop() : shared_(new SharedData) {
    Start();
}

SignalLoop::~SignalLoop() {
    shared_->Stop();
    shared_.Reset();
}

bool SignalLoop::Start() {
    if (started_.Load() != 0) return true;
    ScopedLock guard(&startLock_);
    if (started_.Load() != 0) return true;
    if (!StartThread(new FunctorFunction1<SharedPtr<SharedData>>(&ThreadMain, shared_))) {
        return false;
    }
    started_.Store(1);
    return true;
}

bool SignalLoop::Post(Functor* functor) {
    KX_CHECK(functor != nullptr);
    KX_CHECK(!shared_.IsNull());
    if (!Start()) {
        delete functor;
        return false;
    }
    shared_->Post(functor);
    return true;
}

void SignalLoop::ThreadMain(SharedPtr<SharedData> shared) {
    while (!shared->IsStopped()) {
        Functor* functor = shared->TakeNext();
        if (functor != nullptr) {
            functor->Run();
            delete functor;
        }
    }
}

}  // namespace common
}  // namespace kx
