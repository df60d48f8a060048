#include "kx/toolcommon/OpenFile.h"

#include <io.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "kx/testing/TempDirectory.h"

namespace {

// A file a tool reads or writes never passes to a program the tool starts, even one started
// with inherited handles.
TEST(OpenFileTest, HandlesAreNotInheritable) {
    const kx::testing::TempDirectory directory;
    using kx::toolcommon::FileAccess;
    const kx::toolcommon::File written =
        kx::toolcommon::OpenFile(directory.Path() / L"\u00e9t\u00e9", FileAccess::kWrite);
    const kx::toolcommon::File read =
        kx::toolcommon::OpenFile(directory.Path() / L"\u00e9t\u00e9", FileAccess::kRead);
    for (std::FILE* file : {written.get(), read.get()}) {
        ASSERT_NE(file, nullptr);
        DWORD flags = 0;
        ASSERT_TRUE(
            GetHandleInformation(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), &flags));
        EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    }
}

}  // namespace
