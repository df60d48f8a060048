#pragma once

#include <sched.h>

#include <chrono>

#include "kx/halyxdll/halyxdll_internal.h"

namespace kx {
namespace fuzz {

// How long the session may take to notice a vanished launcher or to deliver an answer before
// it counts as wedged.
constexpr auto kWedgeTime = std::chrono::seconds(10);

// Runs `between` and the session's Update until `done` holds; false when that takes longer
// than kWedgeTime.
template <typename Done, typename Between>
bool UpdateUntil(halyxdll::HalyxSessionData& session, Done done, Between between) {
    const auto deadline = std::chrono::steady_clock::now() + kWedgeTime;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        between();
        session.Update();
        sched_yield();
    }
    return true;
}

}  // namespace fuzz
}  // namespace kx
