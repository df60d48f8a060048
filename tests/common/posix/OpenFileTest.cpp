#include "kx/common/OpenFile.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include "kx/testing/TempDirectory.h"

namespace {

// A file the library reads never passes to a program the game starts.
TEST(OpenFileTest, FilesAreOpenedCloseOnExec) {
    const kx::testing::TempDirectory directory;
    const std::string path = directory.WriteFile("text", "bytes");
    std::FILE* file = kx::common::OpenFileForReading(path.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_NE(fcntl(fileno(file), F_GETFD) & FD_CLOEXEC, 0);
    char bytes[8] = {};
    EXPECT_EQ(std::fread(bytes, 1, sizeof(bytes), file), 5u);
    std::fclose(file);
}

}  // namespace
