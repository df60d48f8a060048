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
    // The event is signalled already while the queue is not empty: each spared Set is a
    // kernel call.
    if (queue_.GetCount() == 0) work_.Set();
    queue_.PushBack(functor);
}

Functor* SignalLoop::SharedData::TakeNext() {
    bool signalled = false;
    work_.Wait(kTakeWaitMilliseconds, signalled);
    if (!signalled) return nullptr;
    ScopedLock guard(&lock_);
    // Only this thread takes from the queue, so signalled work is still there.
    KX_CHECK(queue_.GetCount() != 0);
    Functor* functor = queue_.PopFront();
    if (queue_.GetCount() == 0) work_.Reset();
    return functor;
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
