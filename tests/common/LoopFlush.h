#pragma once

#include "kx/common/Event.h"
#include "kx/common/Functor.h"
#include "kx/common/SignalLoop.h"

namespace kx {
namespace common {
namespace testing {

// Sets an event when it runs.
class SetEventFunctor : public Functor {
public:
    explicit SetEventFunctor(Event* event) : event_(event) {}
    void Run() override { event_->Set(); }

private:
    Event* event_;
};

// Returns once everything posted to `loop` before the call has run (the loop runs its queue
// first in, first out).
inline void FlushLoop(SignalLoop* loop) {
    Event done;
    loop->Post(new SetEventFunctor(&done));
    done.Wait();
}

}  // namespace testing
}  // namespace common
}  // namespace kx
