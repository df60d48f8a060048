#include "kx/devlauncher/InstallDirRegistry.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kx {
namespace devlauncher {
namespace {

// A key of this test process only, so tests never touch the launcher's real key.
std::string TestKey() {
    return "Velmora\\LauncherTest" + std::to_string(::GetCurrentProcessId());
}

// Reads "InstallDir" from one registry view directly.
std::string ReadView(const std::string& key, REGSAM view) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + key).c_str(), 0, KEY_READ | view,
                        &handle) != ERROR_SUCCESS) {
        return "<none>";
    }
    char buffer[300] = {};
    DWORD size = sizeof(buffer) - 1;
    const LONG status = ::RegQueryValueExA(handle, "InstallDir", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(handle);
    return status == ERROR_SUCCESS ? buffer : "<none>";
}

TEST(InstallDirRegistryTest, RegistersInBothViewsAndUnregisters) {
    const std::string key = TestKey();
    EXPECT_EQ(InstallDirLocation(key), "HKEY_LOCAL_MACHINE\\SOFTWARE\\" + key + "\\InstallDir");
    std::string error;
    ASSERT_TRUE(RegisterInstallDir("C:\\Games\\Velmora\\.\\Launcher", &error, key)) << error;
    EXPECT_EQ(ReadView(key, KEY_WOW64_32KEY), "C:\\Games\\Velmora\\Launcher");
    EXPECT_EQ(ReadView(key, KEY_WOW64_64KEY), "C:\\Games\\Velmora\\Launcher");
    std::string value;
    ASSERT_TRUE(ReadInstallDir(&value, key));
    EXPECT_EQ(value, "C:\\Games\\Velmora\\Launcher");

    ASSERT_TRUE(UnregisterInstallDir(&error, key)) << error;
    EXPECT_FALSE(ReadInstallDir(&value, key));
    EXPECT_EQ(ReadView(key, KEY_WOW64_32KEY), "<none>");
    EXPECT_TRUE(UnregisterInstallDir(&error, key));
}

TEST(InstallDirRegistryTest, RefusesPathsGamesCannotRead) {
    const std::string key = TestKey();
    std::string error;
    EXPECT_FALSE(RegisterInstallDir(L"C:\\Spiele\\M\u00fcller", &error, key));
    EXPECT_NE(error.find("ASCII"), std::string::npos);
    EXPECT_FALSE(RegisterInstallDir("C:\\" + std::string(300, 'x'), &error, key));
    std::string value;
    EXPECT_FALSE(ReadInstallDir(&value, key));
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
