#pragma once

#include <cstdio>
#include <cstdlib>

// Stops the fuzz run when `condition` is false, naming it: libFuzzer then keeps the input that
// led here as a crash reproducer.
#define KX_FUZZ_REQUIRE(condition)                                                                 \
    ((condition) ? static_cast<void>(0)                                                            \
                 : (std::fprintf(stderr, "fuzz check failed: %s at %s:%d\n", #condition, __FILE__, \
                                 __LINE__),                                                        \
                    std::abort()))
