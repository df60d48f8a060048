#include "InstallDirSetting.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace kx {
namespace testing {

namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\Velmora\\Launcher";

// Stores `units` (counted in full, zeros included) as a string value.
void StoreString(const std::vector<wchar_t>& units) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(units.data()),
                       static_cast<DWORD>(units.size() * sizeof(wchar_t))),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

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
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

void InstallDirSetting::SetValue(const std::string& text, bool terminated) {
    CreateKeyWithoutValue();
    const int size = static_cast<int>(text.size());
    std::vector<wchar_t> units(text.size());
    units.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, units.data(), size)));
    ASSERT_TRUE(text.empty() || !units.empty()) << "not UTF-8: " << text;
    if (terminated) units.push_back(L'\0');
    StoreString(units);
}

void InstallDirSetting::SetInvalidText() {
    CreateKeyWithoutValue();
    StoreString({L'C', L':', L'\\', static_cast<wchar_t>(0xD800), L'x', L'\0'});
}

void InstallDirSetting::RemoveKey() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmora");
}

}  // namespace testing
}  // namespace kx
