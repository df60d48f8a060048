#pragma once

#include "kx/common/Atomic.h"
#include "kx/common/Contract.h"
#include "kx/common/ThreadStart.h"

namespace kx {
namespace common {

// Values of a lazy-creation state word.
constexpr int32_t kLazyNotCreated = 0;
constexpr int32_t kLazyCreating = 1;
constexpr int32_t kLazyReady = 2;

// Runs `create` exactly once per state word, however many threads call this at once, and
// returns only once creation has finished. The thread that moves the state from 0 to 1 creates;
// the others sleep 1 ms at a time until it stores 2. Whatever `create` stores is visible to every
// caller that returns. `state` must be a constant-initialized 0 (ready before any static
// constructor runs); `create` must always succeed in leaving the value usable.
template <typename Create>
void CreateOnce(AtomicInt32* state, Create create) {
    if (state->Load() == kLazyReady) return;
    for (;;) {
        const int32_t old = state->CompareExchange(kLazyCreating, kLazyNotCreated);
        if (old == kLazyReady) return;
        if (old == kLazyCreating) {
            Sleep(1);
            continue;
        }
        KX_CHECK(old == kLazyNotCreated);
        create();
        state->Store(kLazyReady);
        return;
    }
}

}  // namespace common
}  // namespace kx
