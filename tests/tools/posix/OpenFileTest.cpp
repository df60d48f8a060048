#include "kx/toolcommon/OpenFile.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include "kx/testing/TempDirectory.h"

namespace {

// A file a tool reads or writes never passes to a program the tool starts.
TEST(OpenFileTest, FilesAreOpenedCloseOnExec) {
    const kx::testing::TempDirectory directory;
    using kx::toolcommon::FileAccess;
    const kx::toolcommon::File written =
        kx::toolcommon::OpenFile(directory.Path() / "file", FileAccess::kWrite);
    const kx::toolcommon::File read =
        kx::toolcommon::OpenFile(directory.Path() / "file", FileAccess::kRead);
    for (std::FILE* file : {written.get(), read.get()}) {
        ASSERT_NE(file, nullptr);
        EXPECT_NE(fcntl(fileno(file), F_GETFD) & FD_CLOEXEC, 0);
    }
}

}  // namespace
