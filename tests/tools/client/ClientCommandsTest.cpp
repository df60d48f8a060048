// The client's commands through the real library, against the real launcher process.

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "kx/halyxclient/Commands.h"
#include "kx/halyxclient/ExitCodes.h"
#include "kx/testing/IsolatedUserPlaces.h"
#include "kx/testing/LauncherProcess.h"
#include "kx/testing/TempDirectory.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace halyxclient {
namespace {

using kx::testing::LauncherProcess;
using kx::testing::ReadWholeFile;
using kx::testing::WriteWholeFile;
namespace fs = std::filesystem;

class ClientCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteWholeFile(config_,
                       "username = J\xC3\xBCrgen\npassword = \xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0"
                       "\xBB\xD1\x8C\ncdkey = KEY-7\nproducts = 7\n");
    }

    // Starts a launcher on the standard pipe and waits until it says it serves.
    std::unique_ptr<LauncherProcess> Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--data-dir", (dir_.Path() / "data").string(), "--config",
                                         config_.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        auto launcher = LauncherProcess::Start(args, log_);
        for (int i = 0; launcher && i < 400; ++i) {
            if (ReadWholeFile(log_).find("serving ") != std::string::npos) {
                return launcher;
            }
            if (launcher->WaitExit(std::chrono::milliseconds(50))) {
                break;
            }
        }
        ADD_FAILURE() << "the launcher did not come up:\n" << ReadWholeFile(log_);
        return nullptr;
    }

    kx::testing::TempDirectory dir_;
    const kx::testing::IsolatedUserPlaces places_{dir_.Path()};
    const fs::path config_ = dir_.Path() / "launcher.conf";
    const fs::path log_ = dir_.Path() / "launcher.log";
    std::ostringstream out_;
    std::ostringstream err_;
    GameLoop loop_{out_, err_, std::chrono::seconds(20)};
};

TEST_F(ClientCommandsTest, SayWhenTheLauncherIsNotRunning) {
    EXPECT_EQ(RunLogin(loop_, 1, false), kExitNoLauncher);
    EXPECT_EQ(RunList(loop_, 1), kExitNoLauncher);
    EXPECT_NE(err_.str().find("the launcher is not running"), std::string::npos);
}

TEST_F(ClientCommandsTest, EverySavegameCommand) {
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    std::string data(6u << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 13 + (i >> 12));
    }
    const fs::path in = dir_.Path() / "in.bin";
    const fs::path back = dir_.Path() / "back.bin";
    WriteWholeFile(in, data);

    ASSERT_EQ(RunPut(loop_, 7, 3, in.string(),
                     "Gro\xC3\x9F"
                     "e Reise",
                     true),
              kExitOk)
        << err_.str();
    EXPECT_NE(err_.str().find("100%"), std::string::npos);  // a progress bar for 6 MiB
    ASSERT_EQ(RunList(loop_, 7), kExitOk);
    EXPECT_NE(out_.str().find("6291456 bytes  Gro\xC3\x9F"
                              "e Reise"),
              std::string::npos)
        << out_.str();
    ASSERT_EQ(RunGet(loop_, 7, 3, back.string()), kExitOk) << err_.str();
    EXPECT_TRUE(ReadWholeFile(back) == data);

    EXPECT_EQ(RunPut(loop_, 7, 3, in.string(), "again", false), kExitNotFound);
    EXPECT_EQ(RunGet(loop_, 7, 4, back.string()), kExitNotFound);
    EXPECT_EQ(RunRemove(loop_, 7, 3), kExitOk);
    EXPECT_EQ(RunRemove(loop_, 7, 3), kExitNotFound);
    EXPECT_EQ(RunPut(loop_, 7, 3, (dir_.Path() / "missing.bin").string(), "x", true), kExitUsage);
}

TEST_F(ClientCommandsTest, LoginServerPipeAndTexts) {
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    const std::string password = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
    ASSERT_EQ(RunLogin(loop_, 7, false), kExitOk) << err_.str();
    EXPECT_NE(out_.str().find("user name: J\xC3\xBCrgen"), std::string::npos) << out_.str();
    EXPECT_EQ(out_.str().find(password), std::string::npos) << out_.str();
    EXPECT_EQ(out_.str().find("KEY-7"), std::string::npos) << out_.str();
    out_.str("");
    ASSERT_EQ(RunLogin(loop_, 7, true), kExitOk) << err_.str();
    EXPECT_NE(out_.str().find("password:  " + password), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("CD key:    KEY-7"), std::string::npos) << out_.str();
    out_.str("");
    EXPECT_EQ(RunServer(loop_, 7, 0), kExitOk) << err_.str();
    EXPECT_NE(out_.str().find("came back unchanged"), std::string::npos);
    EXPECT_EQ(RunServer(loop_, 9, 0), kExitNotFound);
    if (!places_.IsIsolated()) {
        return;  // registering would change the registry every test program here reads
    }
    auto registering = LauncherProcess::Start(
        {"register", "--install-dir", (dir_.Path() / "install").string()}, log_);
    ASSERT_TRUE(registering);
    ASSERT_EQ(registering->WaitExit(std::chrono::seconds(20)), std::optional<int>(0));
    out_.str("");
    ASSERT_EQ(RunLoc(loop_, "ja", "Title"), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(),
              "\xE3\x83\xB4\xE3\x82\xA7\xE3\x83\xAB\xE3\x83\xA2\xE3\x83\xA9 "
              "\xE3\x83\xA9\xE3\x83\xB3\xE3\x83\x81\xE3\x83\xA3\xE3\x83\xBC\n");
    EXPECT_EQ(RunLoc(loop_, "en", "NoSuchKey"), kExitNotFound);
}

TEST_F(ClientCommandsTest, ALauncherThatStopsAnsweringEndsInAFailure) {
    auto launcher = Start({"--fault-close-after", "1"});
    ASSERT_TRUE(launcher);
    GameLoop impatient(out_, err_, std::chrono::seconds(2));
    EXPECT_EQ(RunList(impatient, 7), kExitFailed);
    EXPECT_NE(err_.str().find("did not answer"), std::string::npos);
}

}  // namespace
}  // namespace halyxclient
}  // namespace kx
