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

}  // namespace

NamedPipeReceiveLoop::SharedData::SharedData() : stopped_(false) {
    CreateWake();
}

NamedPipeReceiveLoop::SharedData::~SharedData() {
    DestroyWake();
}

void NamedPipeReceiveLoop::SharedData::Add(const PipeData& request) {
    ScopedLock guard(&lock_);
    pending_.Add(request);
    SignalWake();
}

void NamedPipeReceiveLoop::SharedData::TakePending(common::HybridArray<PipeData, 0>* taken) {
    ScopedLock guard(&lock_);
    taken->AddRange(pending_.GetData(), pending_.GetCount());
    pending_.Clear();
    ResetWake();
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
