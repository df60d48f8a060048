#include "kx/clientbox/NamedPipeReceiveLoop.h"

#include <new>

#include "kx/common/Atomic.h"
#include "kx/common/FunctorFunction1.h"
#include "kx/common/LazyCreation.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/ThreadStart.h"

namespace kx {
namespace clientbox {

using common::ScopedLock;
using common::SharedPtr;

namespace {

common::AtomicInt32 g_instanceState;
NamedPipeReceiveLoop* g_instance;

// The record whose reader thread this is (null on every other thread).
thread_local const NamedPipeReceiveLoop::SharedData* t_readerOf = nullptr;

}  // namespace

NamedPipeReceiveLoop::SharedData::SharedData()
    : wakeSignalled_(false), waiting_(false), stopped_(false) {
    CreateWake();
}

NamedPipeReceiveLoop::SharedData::~SharedData() {
    DestroyWake();
}

void NamedPipeReceiveLoop::SharedData::Add(const PipeData& request) {
    ScopedLock guard(&lock_);
    pending_.Add(request);
    // The reader thread takes the pending requests in every pass before it waits again, so
    // its own requests (a completion starting the next read) need no wake, and a request of
    // its own shows that it is running: it takes the pending requests before it waits again.
    // The others need one wake while it waits, until it takes them. Each spared signal or
    // reset is a kernel call.
    if (t_readerOf == this) {
        waiting_ = false;
        return;
    }
    if (!waiting_ || wakeSignalled_) return;
    wakeSignalled_ = true;
    SignalWake();
}

void NamedPipeReceiveLoop::SharedData::TakePending(common::HybridArray<PipeData, 0>* taken) {
    ScopedLock guard(&lock_);
    // Finding none, the thread waits next.
    waiting_ = pending_.GetCount() == 0;
    taken->AddRange(pending_.GetData(), pending_.GetCount());
    pending_.Clear();
    if (!wakeSignalled_) return;
    wakeSignalled_ = false;
    ResetWake();
}

void NamedPipeReceiveLoop::SharedData::BecomeReaderThread() {
    t_readerOf = this;
}

bool NamedPipeReceiveLoop::SharedData::IsStopped() {
    ScopedLock guard(&lock_);
    return stopped_;
}

void NamedPipeReceiveLoop::SharedData::Stop() {
    ScopedLock guard(&lock_);
    stopped_ = true;
}

NamedPipeReceiveLoop* NamedPipeReceiveLoop::Instance() {
    common::CreateOnce(&g_instanceState, [] {
        NamedPipeReceiveLoop* loop = new (std::nothrow) NamedPipeReceiveLoop;
        // A thread that could not start has written its line already.
        if (loop != nullptr && !loop->IsRunning()) {
            delete loop;
            loop = nullptr;
        }
        g_instance = loop;
    });
    return g_instance;
}

NamedPipeReceiveLoop::NamedPipeReceiveLoop()
    : shared_(new SharedData),
      running_(common::StartThread(new common::FunctorFunction1<SharedPtr<SharedData>>(
          &NamedPipeReceiveLoop::ThreadMain, shared_))) {}

NamedPipeReceiveLoop::~NamedPipeReceiveLoop() {
    shared_->Stop();
    shared_.Reset();
}

void NamedPipeReceiveLoop::AddPipe(const PipeData& request) {
    shared_->Add(request);
}

}  // namespace clientbox
}  // namespace kx
