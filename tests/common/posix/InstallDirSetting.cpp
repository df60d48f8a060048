#include "InstallDirSetting.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kx {
namespace testing {

namespace {

namespace fs = std::filesystem;

fs::path ConfigHome() {
    return fs::temp_directory_path() / ("kx-config-" + std::to_string(::getpid()));
}

fs::path KeyDirectory() {
    return ConfigHome() / "Velmora" / "Launcher";
}

}  // namespace

InstallDirSetting::InstallDirSetting() {
    RemoveKey();
    ::setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
}

InstallDirSetting::~InstallDirSetting() {
    ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    fs::remove_all(ConfigHome(), ignored);
}

void InstallDirSetting::CreateKeyWithoutValue() {
    RemoveKey();
    fs::create_directories(KeyDirectory());
    std::ofstream(KeyDirectory() / "InstallDir", std::ios::binary | std::ios::trunc);
}

void InstallDirSetting::SetValue(const std::string& text, bool) {
    CreateKeyWithoutValue();
    std::ofstream file(KeyDirectory() / "InstallDir", std::ios::binary | std::ios::trunc);
    file << text;
}

void InstallDirSetting::SetInvalidText() {
    SetValue("/opt/l\xE4uncher");
}

void InstallDirSetting::RemoveKey() {
    std::error_code ignored;
    fs::remove_all(KeyDirectory(), ignored);
}

}  // namespace testing
}  // namespace kx
