#include "kx/common/InstallDirValue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kx/testing/TempDirectory.h"

namespace {

using kx::common::ReadInstallDirValue;
using kx::testing::TempDirectory;

// Points $HOME and $XDG_CONFIG_HOME at test values for the lifetime of the object.
class Environment {
public:
    Environment(const char* home, const char* configHome) {
        Save("HOME", home_);
        Save("XDG_CONFIG_HOME", configHome_);
        Set("HOME", home);
        Set("XDG_CONFIG_HOME", configHome);
    }
    ~Environment() {
        Set("HOME", home_.empty() ? nullptr : home_.c_str());
        Set("XDG_CONFIG_HOME", configHome_.empty() ? nullptr : configHome_.c_str());
    }

private:
    static void Save(const char* name, std::string& to) {
        const char* value = std::getenv(name);
        to = value != nullptr ? value : "";
    }
    static void Set(const char* name, const char* value) {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    std::string home_;
    std::string configHome_;
};

std::string Read(bool* opened) {
    kx::common::String value;
    *opened = ReadInstallDirValue(value);
    return value.GetUtf8();
}

TEST(InstallDirValueTest, FallsBackToConfigBelowHome) {
    TempDirectory home;
    home.WriteFile(".config/Velmora/Launcher/InstallDir", "/opt/launcher\n");
    bool opened = false;
    {
        Environment environment(home.Path().c_str(), nullptr);
        EXPECT_EQ(Read(&opened), "/opt/launcher");
        EXPECT_TRUE(opened);
    }
    {
        // A relative $XDG_CONFIG_HOME is ignored.
        Environment environment(home.Path().c_str(), "relative/config");
        EXPECT_EQ(Read(&opened), "/opt/launcher");
        EXPECT_TRUE(opened);
    }
    {
        Environment environment(nullptr, nullptr);
        EXPECT_EQ(Read(&opened), "");
        EXPECT_FALSE(opened);
    }
}

TEST(InstallDirValueTest, OnlyTheFirstLineCounts) {
    TempDirectory config;
    config.WriteFile("Velmora/Launcher/InstallDir", "/a\r\n/b\n");
    Environment environment("/nonexistent", config.Path().c_str());
    bool opened = false;
    EXPECT_EQ(Read(&opened), "/a");
    EXPECT_TRUE(opened);
}

}  // namespace
