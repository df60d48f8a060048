#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LauncherProcess.h"
#include "RecordingListeners.h"
#include "ScratchDir.h"

namespace integration_test {

using namespace halyxdll_test;
using kx::devlauncher::testing::LauncherProcess;
using kx::devlauncher::testing::ReadWholeFile;
using kx::devlauncher::testing::ScratchDir;
using kx::devlauncher::testing::WriteWholeFile;

// How long any wait lasts before it counts as a failure: a guard against a wedged test, not a
// measure of speed (sanitizers and Wine are slow).
constexpr std::chrono::seconds kPatience(60);

// The product the launcher serves a server pipe (an echo service) for, and whose savegames the
// tests keep.
constexpr unsigned int kProduct = 7;

// The open result the helpers report when no answer came.
constexpr unsigned int kNoAnswer = 0xFFFFFFFFu;

// The login details of the launcher's configuration, beyond ASCII on purpose.
extern const char* const kUserName;      // UTF-8
extern const char16_t* const kPassword;  // UTF-16
extern const char* const kCdKey;

// Data whose every byte depends on its position and on `seed`, so misplaced bytes and the
// wrong version of a savegame both show.
std::string Pattern(std::size_t size, unsigned int seed);

// A game in this process, using the real library through its public interface only, against
// the real development launcher process, which keeps its savegames in a scratch directory that
// outlives every launcher the test starts. This process and the programs it starts share a
// launcher pipe of their own where the platform allows (elsewhere the test program holds the
// pipe's resource lock). Everything runs on the test's thread.
class LauncherGameFixture : public ::testing::Test {
protected:
    LauncherGameFixture();
    // Ends the session state (close every reader and writer first) and any running launcher.
    ~LauncherGameFixture() override;

    // Starts a launcher on the scratch data directory with the extra options `options` and
    // waits until it serves. Fails the test (and returns false) when it does not come up.
    bool StartLauncher(const std::vector<std::string>& options = {});
    // Asks the running launcher to stop the way a user does and waits until it has gone.
    void StopLauncher();
    // Ends the running launcher at once, as a crash would, and waits until it has gone.
    void KillLauncher();

    // Calls Update until `done` holds or kPatience has passed; true when `done` held.
    bool PumpUntil(const std::function<bool()>& done);

    // Connects the session the way a game does, with GetHalyxServer for kProduct, trying again
    // while no launcher answers (one may just be starting, or the previous connection may just
    // have been lost). The server pipe handed over is closed again. True once connected.
    bool Connect();

    unsigned int NextId() { return session_->GetRequestUniqueId(); }

    // Asks for the login details and waits for them; a failure when they do not come.
    LoginCall AskLoginDetails();
    // The product's savegames as the launcher lists them; empty (and a failure) without answer.
    std::vector<ListedSavegame> List();
    // Opens `slot` for writing; the open result goes to `*result`. Null unless it is 0.
    SavegameWriter* OpenWriter(unsigned int slot, bool overwrite, unsigned int* result);
    // Opens `slot` for reading; the open result goes to `*result`. Null unless it is 0.
    SavegameReader* OpenReader(unsigned int slot, unsigned int* result);
    // Writes `data` through `writer` in `pieces` Write calls and waits until the launcher has
    // acknowledged every one. True when it reported every byte as written.
    bool WriteInPieces(SavegameWriter* writer, const std::string& data, unsigned int pieces);
    // Opens `slot` for writing (overwriting) and writes `data` in three pieces, acknowledged;
    // the writer stays open. Null (and a failure) when either step fails.
    SavegameWriter* StartSaving(unsigned int slot, const std::string& data);
    // Stores `data` in `slot` under `name` (overwriting) and waits until a list shows it.
    void Save(unsigned int slot, const std::string& data, const std::u16string& name);
    // Reads `size` bytes of `slot` with one Read and closes the reader; empty (and a failure)
    // when it cannot. The byte count the read listener got (that of the last part) goes to
    // `*lastPart` when given.
    std::string Load(unsigned int slot, unsigned int size, unsigned int* lastPart = nullptr);

    // What the launcher started last has logged so far (one line per request and answer).
    std::string LauncherLogText() const;

    // Checks that `data` under `name` in `slot` is the product's only savegame: the only one
    // listed, read back whole, and the only file in the product's directory (nothing pending
    // left beside it).
    void ExpectOnlySavegame(unsigned int slot, const std::u16string& name, const std::string& data);

    // The names of the files in the launcher's directory for kProduct (none when it is absent).
    std::vector<std::string> ProductFiles() const;

    // Runs the sample game program with `args` to its end; its exit code, or -1 when it could
    // not be started or did not end in time.
    int RunClient(const std::vector<std::string>& args);
    // The same for the build's program `program`; what it printed goes to `*output` if given.
    int RunProgram(const std::string& program, const std::vector<std::string>& args,
                   std::string* output = nullptr);

    ScratchDir dir_;
    HalyxSession* session_;
    // The helpers' listeners, told apart by request id. They live as long as the session: a
    // request lost with its connection stays registered with its listener.
    ServerListener server_;
    ListListener lists_;
    WriterListener writers_;
    ReaderListener readers_;
    WriteListener writes_;
    ReadListener reads_;
    LoginListener logins_;

private:
    std::filesystem::path LauncherLog() const;

    std::vector<std::unique_ptr<std::string>> readBuffers_;

    std::unique_ptr<LauncherProcess> launcher_;
    int launcherStarts_ = 0;
};

}  // namespace integration_test
