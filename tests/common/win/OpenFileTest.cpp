#include "kx/common/OpenFile.h"

#include <io.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "kx/testing/TempDirectory.h"

namespace {

// A file the library reads never passes to a program the game starts, even one started with
// inherited handles.
TEST(OpenFileTest, FilesAreNotInheritable) {
    const kx::testing::TempDirectory directory;
    const std::string path = directory.WriteFile("text", "bytes");
    std::FILE* file = kx::common::OpenFileForReading(path.c_str());
    ASSERT_NE(file, nullptr);
    DWORD flags = 0;
    ASSERT_TRUE(
        GetHandleInformation(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    std::fclose(file);
}

}  // namespace
