#include "kx/clientbox/OpenNamedPipe.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "TestPipePeer.h"

namespace {

using clientbox_test::TestPipeServer;
using clientbox_test::UniquePipeName;
using kx::clientbox::InvalidPipeHandle;
using kx::clientbox::OpenNamedPipe;
using kx::clientbox::PipeHandle;

TEST(OpenNamedPipeTest, OpensAServedNameAndRefusesNamesOutsideThePipeNamespace) {
    TestPipeServer server(UniquePipeName());
    const PipeHandle handle = OpenNamedPipe(server.GetName().c_str());
    ASSERT_NE(handle, InvalidPipeHandle());
    CloseHandle(handle);
    EXPECT_EQ(OpenNamedPipe(UniquePipeName().c_str()), InvalidPipeHandle());
    for (const char* name : {"", ".", "..", "..\\x", "a/../b", "a\\.\\b"}) {
        EXPECT_EQ(OpenNamedPipe(name), InvalidPipeHandle()) << name;
    }
}

}  // namespace
