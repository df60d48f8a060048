#pragma once

#include <windows.h>

#include "kx/testing/PipeEnd.h"

namespace kx {
namespace testing {

// `wait` as the time-out of a Windows wait function; no limit (and beyond) is INFINITE.
inline DWORD Milliseconds(Wait wait) {
    return wait.count() >= static_cast<long long>(INFINITE) ? INFINITE
                                                            : static_cast<DWORD>(wait.count());
}

}  // namespace testing
}  // namespace kx
