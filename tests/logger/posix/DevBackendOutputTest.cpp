#include <gtest/gtest.h>

#include "kx/logger/DevBackend.h"

namespace {

TEST(DevBackendOutputTest, LineGoesToStandardError) {
    kx::logger::DevBackend sink;
    ::testing::internal::CaptureStderr();
    sink.write(0, "a\\b\\c", 12, "hello");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "a\\b\\c(12) : hello\n");
}

}  // namespace
