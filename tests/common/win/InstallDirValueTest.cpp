#include "kx/common/InstallDirValue.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "InstallDirSetting.h"

namespace {

using kx::common::ReadInstallDirValue;
using kx::testing::InstallDirSetting;

// Stores `text` with its terminating zero as the value, with registry type `type`.
void StoreTyped(DWORD type, const std::wstring& text) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmora\\Launcher", 0, KEY_WRITE, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetValueExW(key, L"InstallDir", 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string Read() {
    kx::common::String value;
    EXPECT_TRUE(ReadInstallDirValue(value));
    return value.GetUtf8();
}

TEST(InstallDirValueTest, OnlyStringValuesAreReadAndExpandableOnesAreExpanded) {
    InstallDirSetting setting;
    setting.CreateKeyWithoutValue();
    StoreTyped(REG_BINARY, L"C:\\Launcher");
    EXPECT_EQ(Read(), "");
    StoreTyped(REG_MULTI_SZ, L"C:\\Launcher");
    EXPECT_EQ(Read(), "");

    ASSERT_TRUE(SetEnvironmentVariableW(L"KX_LAUNCHER_ROOT", L"D:\\Spiele"));
    StoreTyped(REG_EXPAND_SZ, L"%KX_LAUNCHER_ROOT%\\Launcher");
    EXPECT_EQ(Read(), "D:\\Spiele\\Launcher");
    // Expanded beyond the longest value the reader takes.
    ASSERT_TRUE(SetEnvironmentVariableW(L"KX_LAUNCHER_ROOT", std::wstring(300, L'x').c_str()));
    EXPECT_EQ(Read(), "");
    SetEnvironmentVariableW(L"KX_LAUNCHER_ROOT", nullptr);
}

}  // namespace
