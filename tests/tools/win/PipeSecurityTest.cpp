#include <aclapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "UniquePipeName.h"
#include "kx/clientbox/win/ProcessUser.h"
#include "kx/devlauncher/PipeServer.h"

namespace kx {
namespace devlauncher {
namespace {

// Only the launcher's user and SYSTEM may open a launcher pipe: the access list has exactly
// their two entries, and the launcher's user owns the pipe.
TEST(PipeSecurityTest, OnlyTheOwnerAndSystemMayOpenALauncherPipe) {
    PipeServer server;
    std::string error;
    ASSERT_EQ(server.Open(testing::UniquePipeName("secured"), &error),
              PipeServer::OpenResult::kOpened)
        << error;
    const HANDLE client = ::CreateFileA(server.Location().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE) << ::GetLastError();
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetSecurityInfo(client, SE_KERNEL_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const clientbox::ProcessUser self(::GetCurrentProcess());
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof(system);
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize));
    ASSERT_NE(self.Sid(), nullptr);
    EXPECT_TRUE(::EqualSid(owner, self.Sid()));
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 2);
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        const PSID sid = &ace->SidStart;
        EXPECT_TRUE(::EqualSid(sid, i == 0 ? self.Sid() : PSID(system))) << i;
    }
    ::LocalFree(descriptor);
    ::CloseHandle(client);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
