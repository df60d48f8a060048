#include "kx/testing/LauncherGameFixture.h"

#include <optional>

#include "kx/testing/WholeFile.h"

namespace kx {
namespace testing {

namespace fs = std::filesystem;

std::string LauncherGameFixture::Pattern(std::size_t size, unsigned int seed) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 31 + (i >> 10) + seed * 101);
    }
    return data;
}

void LauncherGameFixture::WriteLauncherConfig() const {
    // The password is kPassword in UTF-8.
    WriteWholeFile(dir_.Path() / "launcher.conf",
                   std::string("username = ") + kUserName +
                       "\npassword = \xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C\ncdkey = " +
                       kCdKey + "\nproducts = " + std::to_string(kProduct) + "\n");
}

fs::path LauncherGameFixture::LauncherLog() const {
    return dir_.Path() / ("launcher-" + std::to_string(launcherStarts_) + ".log");
}

std::string LauncherGameFixture::LauncherLogText() const {
    return ReadWholeFile(LauncherLog());
}

bool LauncherGameFixture::StartLauncher(const std::vector<std::string>& options) {
    ++launcherStarts_;
    std::vector<std::string> args = {"--data-dir", (dir_.Path() / "data").string(), "--config",
                                     (dir_.Path() / "launcher.conf").string(), "-v"};
    args.insert(args.end(), options.begin(), options.end());
    launcher_ = LauncherProcess::Start(args, LauncherLog());
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (launcher_ && std::chrono::steady_clock::now() < deadline) {
        if (LauncherLogText().find("serving ") != std::string::npos) return true;
        if (launcher_->WaitExit(std::chrono::milliseconds(20))) break;
    }
    ADD_FAILURE() << "the launcher did not come up:\n" << LauncherLogText();
    return false;
}

void LauncherGameFixture::StopLauncher() {
    ASSERT_TRUE(launcher_);
    launcher_->Stop();
    EXPECT_EQ(launcher_->WaitExit(kPatience), std::optional<int>(kx::testing::kStoppedExitCode))
        << LauncherLogText();
    launcher_.reset();
}

void LauncherGameFixture::KillLauncher() {
    ASSERT_TRUE(launcher_);
    launcher_->Kill();
    EXPECT_TRUE(launcher_->WaitExit(kPatience));
    launcher_.reset();
}

std::vector<std::string> LauncherGameFixture::ProductFiles() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& file :
         fs::directory_iterator(dir_.Path() / "data" / std::to_string(kProduct), ec)) {
        names.push_back(file.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

int LauncherGameFixture::RunClient(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--timeout", "30"};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram("halyx_client", all);
}

int LauncherGameFixture::RunProgram(const std::string& program,
                                    const std::vector<std::string>& args, std::string* output) {
    const fs::path log = dir_.Path() / (program + ".log");
    std::unique_ptr<LauncherProcess> game = LauncherProcess::Start(args, log, program);
    if (!game) return -1;
    const std::optional<int> code = game->WaitExit(kPatience);
    if (output != nullptr) *output = ReadWholeFile(log);
    return code ? *code : -1;
}

}  // namespace testing
}  // namespace kx
