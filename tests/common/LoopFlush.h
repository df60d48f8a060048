#pragma once

#include "kx/common/Event.h"
#include "kx/common/Functor.h"
#include "kx/common/SignalLoop.h"

namespace kx {
namespace testing {

// Sets an event when it runs.
class SetEventFunctor : public common::Functor {
public:
    explicit SetEventFunctor(common::Event* event) : event_(event) {}
    void Run() override { event_->Set(); }

private:
    common::Event* event_;
};

// Returns once everything posted to `loop` before the call has run (the loop runs its queue
// first in, first out).
inline void FlushLoop(common::SignalLoop* loop) {
    common::Event done;
    loop->Post(new SetEventFunctor(&done));
    done.Wait();
}

}  // namespace testing
}  // namespace kx
