#include "kx/common/LauncherDirectory.h"

#include <gtest/gtest.h>

#include <string>

#include "InstallDirSetting.h"

namespace {

using kx::common::GetLauncherDirectory;
using kx::testing::InstallDirSetting;

std::string Directory() {
    return GetLauncherDirectory().GetUtf8();
}

TEST(LauncherDirectoryTest, MissingKeyGivesEmptyText) {
    InstallDirSetting setting;
    EXPECT_EQ(Directory(), "");
}

TEST(LauncherDirectoryTest, KeyWithoutUsableValueGivesSlash) {
    InstallDirSetting setting;
    setting.CreateKeyWithoutValue();
    EXPECT_EQ(Directory(), "/");
    setting.SetValue("");
    EXPECT_EQ(Directory(), "/");
    setting.SetInvalidText();
    EXPECT_EQ(Directory(), "/");
}

TEST(LauncherDirectoryTest, SlashIsAppendedUnlessOneEndsTheValue) {
    InstallDirSetting setting;
    setting.SetValue("C:\\Launcher");
    EXPECT_EQ(Directory(), "C:\\Launcher/");
    setting.SetValue("C:\\Launcher\\");
    EXPECT_EQ(Directory(), "C:\\Launcher\\");
    setting.SetValue("/opt/launcher/");
    EXPECT_EQ(Directory(), "/opt/launcher/");
    setting.SetValue("D:\\Spiele\\L\xC3\xA4uncher");
    EXPECT_EQ(Directory(), "D:\\Spiele\\L\xC3\xA4uncher/");
    setting.SetValue("D:\\\xE3\x83\xA9\xE3\x83\xB3\xE3\x83\x81\xE3\x83\xA3\xE3\x83\xBC");
    EXPECT_EQ(Directory(), "D:\\\xE3\x83\xA9\xE3\x83\xB3\xE3\x83\x81\xE3\x83\xA3\xE3\x83\xBC/");
}

TEST(LauncherDirectoryTest, ValueFillingTheBufferIsReadWhole) {
    InstallDirSetting setting;
    const std::string longest(255, 'd');
    setting.SetValue(longest, false);
    EXPECT_EQ(Directory(), longest + "/");
}

TEST(LauncherDirectoryTest, ValueLargerThanTheBufferIsNotRead) {
    InstallDirSetting setting;
    setting.SetValue(std::string(256, 'd'));
    EXPECT_EQ(Directory(), "/");
    setting.SetValue(std::string(300, 'd'));
    EXPECT_EQ(Directory(), "/");
}

}  // namespace
