#include "FailingThreadStarts.h"

#include <pthread.h>
#include <stdint.h>

#include <gtest/gtest.h>

namespace kx {
namespace testing {

namespace {

// Sets the process's default thread stack size, which every thread created without its own
// size uses.
void SetDefaultStackSize(size_t size) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_getattr_default_np(&attributes), 0);
    EXPECT_EQ(pthread_attr_setstacksize(&attributes, size), 0);
    EXPECT_EQ(pthread_setattr_default_np(&attributes), 0);
    pthread_attr_destroy(&attributes);
}

size_t g_savedStackSize;

}  // namespace

FailingThreadStarts::FailingThreadStarts() {
    pthread_attr_t attributes;
    pthread_getattr_default_np(&attributes);
    pthread_attr_getstacksize(&attributes, &g_savedStackSize);
    pthread_attr_destroy(&attributes);
    // No address space holds a stack of half the pointer range: pthread_create fails (EAGAIN).
    SetDefaultStackSize(SIZE_MAX / 2);
}

FailingThreadStarts::~FailingThreadStarts() {
    SetDefaultStackSize(g_savedStackSize);
}

}  // namespace testing
}  // namespace kx
