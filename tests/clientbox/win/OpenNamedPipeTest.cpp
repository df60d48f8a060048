#include "kx/clientbox/OpenNamedPipe.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "kx/clientbox/win/PipeClientFlags.h"
#include "kx/clientbox/win/PipeServerUser.h"
#include "kx/clientbox/win/ProcessUser.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"

namespace {

using kx::clientbox::InvalidPipeHandle;
using kx::clientbox::OpenNamedPipe;
using kx::clientbox::PipeClientSecurityFlags;
using kx::clientbox::PipeHandle;
using kx::clientbox::PipeServerRunsAs;
using kx::clientbox::ProcessUser;
using kx::testing::PipeServer;
using kx::testing::UniquePipeName;

TEST(OpenNamedPipeTest, OpensAServedNameAndRefusesNamesOutsideThePipeNamespace) {
    PipeServer server(UniquePipeName());
    const PipeHandle handle = OpenNamedPipe(server.GetName().c_str());
    ASSERT_NE(handle, InvalidPipeHandle());
    CloseHandle(handle);
    EXPECT_EQ(OpenNamedPipe(UniquePipeName().c_str()), InvalidPipeHandle());
    for (const char* name : {"", ".", "..", "..\\x", "a/../b", "a\\.\\b"}) {
        EXPECT_EQ(OpenNamedPipe(name), InvalidPipeHandle()) << name;
    }
}

// Wine ignores these flags, so what is checked here is the choice itself: quality of service
// given, identification at most, no dynamic tracking and no effective-only restriction.
TEST(OpenNamedPipeTest, ClientsLetTheServerIdentifyButNeverImpersonateThem) {
    EXPECT_EQ(PipeClientSecurityFlags() & SECURITY_VALID_SQOS_FLAGS,
              static_cast<DWORD>(SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION));
}

// The served pipe above was accepted: its server runs as this user. Here the same server is
// compared with another user.
TEST(OpenNamedPipeTest, ServerUserIsComparedWithTheGivenUser) {
    PipeServer server(UniquePipeName());
    const PipeHandle handle = OpenNamedPipe(server.GetName().c_str());
    ASSERT_NE(handle, InvalidPipeHandle());
    const ProcessUser self(GetCurrentProcess());
    ASSERT_NE(self.Sid(), nullptr);
    EXPECT_TRUE(PipeServerRunsAs(handle, self.Sid()));
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(system);
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
    ASSERT_FALSE(EqualSid(system, self.Sid()));
    EXPECT_FALSE(PipeServerRunsAs(handle, system));
    CloseHandle(handle);
}

}  // namespace
