// A game built for the MSVC ABI that uses the C++ class interface (tests/msvc/MsvcClassGame.cpp:
// clang for x86_64-pc-windows-msvc, no C runtime, linked by lld-link against velhalyxapi_r2.lib)
// against the development launcher process: every conversation, through the DLL's
// MSVC-decorated exports. Its transcript is printed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "InstallDirSetting.h"
#include "kx/testing/LauncherProcess.h"
#include "kx/testing/TempDirectory.h"
#include "kx/testing/WholeFile.h"

namespace {

namespace fs = std::filesystem;
using kx::testing::LauncherProcess;
using kx::testing::ReadWholeFile;
using kx::testing::TempDirectory;
using kx::testing::WriteWholeFile;

constexpr std::chrono::seconds kPatience(120);

// The game's product (it has a server pipe) and the slot it uses.
constexpr char kProduct[] = "7";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(MsvcClassGameTest, GoesThroughEveryConversationThroughTheDecoratedExports) {
    TempDirectory dir;
    // Login details beyond ASCII; the product the game asks a server pipe for.
    WriteWholeFile(dir.Path() / "launcher.conf",
                   std::string("username = J\xC3\xBCrgen\n"
                               "password = \xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C\n"
                               "cdkey = KEY-7-\xC3\x85\nproducts = ") +
                       kProduct + "\n");
    // The launcher's installation directory with its English texts, as the library finds it.
    WriteWholeFile(dir.Path() / "install" / "data" / "loc" / "en_loc.txt",
                   "Title\tVelmora \xE2\x80\x93 MSVC edition\r\n");
    kx::testing::InstallDirSetting installDir;
    installDir.SetValue((dir.Path() / "install").string());

    const fs::path data = dir.Path() / "data";
    const fs::path launcherLog = dir.Path() / "launcher.log";
    std::unique_ptr<LauncherProcess> launcher = LauncherProcess::Start(
        {"--data-dir", data.string(), "--config", (dir.Path() / "launcher.conf").string(), "-v"},
        launcherLog);
    ASSERT_TRUE(launcher);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!Contains(ReadWholeFile(launcherLog), "serving ")) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << ReadWholeFile(launcherLog);
        ASSERT_FALSE(launcher->WaitExit(std::chrono::milliseconds(20)))
            << ReadWholeFile(launcherLog);
    }

    const fs::path transcriptFile = dir.Path() / "game.log";
    std::unique_ptr<LauncherProcess> game =
        LauncherProcess::Start({}, transcriptFile, "msvc_class_game");
    ASSERT_TRUE(game) << "msvc_class_game.exe cannot be started";
    const std::optional<int> code = game->WaitExit(kPatience);
    const std::string transcript = ReadWholeFile(transcriptFile);
    std::cout << "---- msvc_class_game.exe against halyx_devlauncher ----\n"
              << transcript << "---- end of the transcript ----\n";
    // Kept in the test's working directory of the build tree, where scripts/test.sh shows it.
    WriteWholeFile(fs::absolute("msvc_class_game-transcript.txt"), transcript);

    EXPECT_EQ(code, std::optional<int>(0)) << "the launcher's log:\n" << ReadWholeFile(launcherLog);
    EXPECT_TRUE(Contains(transcript, "called directly: returns this"));
    EXPECT_TRUE(Contains(transcript,
                         "user name \"J\xC3\xBCrgen\", password "
                         "\"\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C\", "
                         "CD key \"KEY-7-\xC3\x85\""));
    EXPECT_TRUE(Contains(transcript, "the echo service sent back"));
    EXPECT_TRUE(Contains(transcript, "GetSavegameId 3, GetSize 10000"));
    EXPECT_TRUE(Contains(transcript,
                         "GetLocText(\"Title\", \"en\"): "
                         "\"Velmora \xE2\x80\x93 MSVC edition\""));
    EXPECT_TRUE(Contains(transcript, "delete HalyxSession: destroyed"));
    EXPECT_TRUE(Contains(transcript, "every conversation done"));

    // What the launcher keeps: the savegame was removed again, nothing is left pending.
    std::error_code ec;
    EXPECT_TRUE(!fs::exists(data / kProduct, ec) || fs::is_empty(data / kProduct, ec));
    EXPECT_TRUE(Contains(ReadWholeFile(launcherLog), "connected"));
}

}  // namespace
