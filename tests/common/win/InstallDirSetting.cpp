#include "InstallDirSetting.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace kx {
namespace testing {

namespace {

constexpr char kKey[] = "SOFTWARE\\Velmora\\Launcher";

}  // namespace

InstallDirSetting::InstallDirSetting() {
    RemoveKey();
}

InstallDirSetting::~InstallDirSetting() {
    RemoveKey();
}

void InstallDirSetting::CreateKeyWithoutValue() {
    RemoveKey();
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

void InstallDirSetting::SetValue(const std::string& bytes, bool terminated) {
    CreateKeyWithoutValue();
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    const DWORD size = static_cast<DWORD>(bytes.size() + (terminated ? 1 : 0));
    // Wine hands out string values with a terminating zero added; raw bytes keep their size.
    const DWORD type = terminated ? REG_SZ : REG_BINARY;
    EXPECT_EQ(RegSetValueExA(key, "InstallDir", 0, type,
                             reinterpret_cast<const BYTE*>(bytes.c_str()), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void InstallDirSetting::RemoveKey() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora");
}

}  // namespace testing
}  // namespace kx
