#include "kx/devlauncher/InstallDirRegistry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "kx/testing/TempDirectory.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace devlauncher {
namespace {

using kx::testing::ReadWholeFile;
using kx::testing::TempDirectory;

// Points $XDG_CONFIG_HOME at a scratch directory for one test.
class InstallDirStandInTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    TempDirectory config_;
    TempDirectory install_;
};

TEST_F(InstallDirStandInTest, RegisterWritesOneLineWithTheAbsolutePath) {
    const auto file = config_.Path() / "Velmora" / "Launcher" / "InstallDir";
    EXPECT_EQ(InstallDirLocation(), file.string());
    std::string error;
    ASSERT_TRUE(RegisterInstallDir(install_.Path() / "sub" / "..", &error)) << error;
    EXPECT_EQ(ReadWholeFile(file), install_.Path().string() + "/");
    std::string value;
    ASSERT_TRUE(ReadInstallDir(&value));
    EXPECT_EQ(value, install_.Path().string() + "/");
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
}

TEST_F(InstallDirStandInTest, RegisterReplacesAndUnregisterRemoves) {
    std::string error;
    ASSERT_TRUE(RegisterInstallDir("/first/place", &error));
    ASSERT_TRUE(RegisterInstallDir("/second/place", &error));
    std::string value;
    ASSERT_TRUE(ReadInstallDir(&value));
    EXPECT_EQ(value, "/second/place");
    ASSERT_TRUE(UnregisterInstallDir(&error)) << error;
    EXPECT_FALSE(ReadInstallDir(&value));
    EXPECT_TRUE(UnregisterInstallDir(&error));  // already gone is fine
}

TEST_F(InstallDirStandInTest, FallsBackToHomeConfig) {
    ::unsetenv("XDG_CONFIG_HOME");
    const char* home = ::getenv("HOME");
    const std::string saved = home ? home : "";
    ::setenv("HOME", config_.Path().c_str(), 1);
    EXPECT_EQ(InstallDirLocation("A\\B"), (config_.Path() / ".config/A/B/InstallDir").string());
    ::setenv("HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
