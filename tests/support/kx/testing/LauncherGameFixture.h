#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kx/testing/IsolatedUserPlaces.h"
#include "kx/testing/LauncherProcess.h"
#include "kx/testing/PipeEnd.h"
#include "kx/testing/RecordingListeners.h"
#include "kx/testing/TempDirectory.h"

namespace kx {
namespace testing {

// A game in this process, using the library through its public interface only, against the
// development launcher process. The launcher keeps its savegames and its log in a temporary
// directory that outlives every launcher the test starts, and logs one line per request and per
// answer. This process and the programs it starts share per-user places of their own where the
// platform allows (elsewhere the test program holds the launcher pipe's resource lock).
// Everything runs on the test's thread.
//
// The members that call the library are defined inline below the class: each test program
// compiles them against the library as it links it (the library's objects, or the shared
// library through its import library).
class LauncherGameFixture : public ::testing::Test {
public:
    // How long any wait lasts before it counts as a failure: a guard against a wedged test, not
    // a measure of speed (sanitizers and Wine are slow).
    static constexpr std::chrono::seconds kPatience{60};
    // The product the launcher serves a server pipe (an echo service) for, and whose savegames
    // the tests keep.
    static constexpr unsigned int kProduct = 7;
    // The open result the helpers report when no answer came.
    static constexpr unsigned int kNoAnswer = 0xFFFFFFFFu;
    // The login details of the launcher's configuration, beyond ASCII on purpose.
    static constexpr const char* kUserName = "J\xC3\xBCrgen";  // UTF-8
    static constexpr const char16_t* kPassword = u"\u043F\u0430\u0440\u043E\u043B\u044C";
    static constexpr const char* kCdKey = "KEY-7-\xC3\x85";  // UTF-8

    // Data whose every byte depends on its position and on `seed`, so misplaced bytes and the
    // wrong version of a savegame both show.
    static std::string Pattern(std::size_t size, unsigned int seed);

protected:
    // Creates the session state and writes the launcher's configuration; starts no launcher.
    LauncherGameFixture() : session_(KxHalyxdllGetSession()) { WriteLauncherConfig(); }
    // Ends the session state (close every reader and writer first), then any running launcher.
    ~LauncherGameFixture() override { delete session_; }

    // Starts a launcher on the directory's savegames with the extra options `options` and waits
    // until it serves. Fails the test (and returns false) when it does not come up.
    bool StartLauncher(const std::vector<std::string>& options = {});
    // Asks the running launcher to stop the way a user does and waits until it has gone.
    void StopLauncher();
    // Ends the running launcher at once, as a crash would, and waits until it has gone.
    void KillLauncher();
    // What the launcher started last has logged so far.
    std::string LauncherLogText() const;

    // Calls Update until `done` holds or kPatience has passed; true when `done` held.
    bool PumpUntil(const std::function<bool()>& done);

    // Connects the session the way a game does, with GetHalyxServer for kProduct, trying again
    // while no launcher answers (one may just be starting, or the previous connection may just
    // have been lost). The server pipe handed over is closed again. True once connected.
    bool Connect();

    unsigned int NextId() { return session_->GetRequestUniqueId(); }

    // Asks for the login details and waits for them; a failure when they do not come.
    kx::testing::LoginCall AskLoginDetails();
    // The product's savegames as the launcher lists them; empty (and a failure) without answer.
    std::vector<kx::testing::ListedSavegame> List();
    // Opens `slot` for writing; the open result goes to `*result`. Null unless it is 0.
    halyxdll::SavegameWriter* OpenWriter(unsigned int slot, bool overwrite, unsigned int* result);
    // Opens `slot` for reading; the open result goes to `*result`. Null unless it is 0.
    halyxdll::SavegameReader* OpenReader(unsigned int slot, unsigned int* result);
    // Writes `data` through `writer` in `pieces` Write calls and waits until the launcher has
    // acknowledged every one. True when it reported every byte as written.
    bool WriteInPieces(halyxdll::SavegameWriter* writer, const std::string& data,
                       unsigned int pieces);
    // Opens `slot` for writing (overwriting) and writes `data` in three pieces, acknowledged;
    // the writer stays open. Null (and a failure) when either step fails.
    halyxdll::SavegameWriter* StartSaving(unsigned int slot, const std::string& data);
    // Stores `data` in `slot` under `name` (overwriting) and waits until a list shows it.
    void Save(unsigned int slot, const std::string& data, const std::u16string& name);
    // Reads `size` bytes of `slot` with one Read and closes the reader; empty (and a failure)
    // when it cannot. The byte count the read listener got (that of the last part) goes to
    // `*lastPart` when given.
    std::string Load(unsigned int slot, unsigned int size, unsigned int* lastPart = nullptr);

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

    TempDirectory dir_;
    IsolatedUserPlaces places_{dir_.Path()};
    halyxdll::HalyxSession* session_;
    // The helpers' listeners, told apart by request id. They live as long as the session: a
    // request lost with its connection stays registered with its listener.
    kx::testing::ServerListener server_;
    kx::testing::ListListener lists_;
    kx::testing::WriterListener writers_;
    kx::testing::ReaderListener readers_;
    kx::testing::WriteListener writes_;
    kx::testing::ReadListener reads_;
    kx::testing::LoginListener logins_;

private:
    // The first call recorded for `requestId`, or null.
    template <typename Call>
    static const Call* Find(const std::vector<Call>& calls, unsigned int requestId) {
        const auto found = std::find_if(calls.begin(), calls.end(), [&](const Call& call) {
            return call.requestId == requestId;
        });
        return found != calls.end() ? &*found : nullptr;
    }

    void WriteLauncherConfig() const;
    std::filesystem::path LauncherLog() const;

    std::vector<std::unique_ptr<std::string>> readBuffers_;
    std::unique_ptr<kx::testing::LauncherProcess> launcher_;
    int launcherStarts_ = 0;
};

inline bool LauncherGameFixture::PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        session_->Update();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

inline bool LauncherGameFixture::Connect() {
    // How long one attempt waits for its server answer before trying again: an attempt sent on
    // a connection that was already lost (but not yet noticed) is never answered.
    constexpr std::chrono::seconds kAttemptPatience(5);
    const std::size_t first = server_.calls.size();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    bool connected = false;
    while (!connected && std::chrono::steady_clock::now() < deadline) {
        const std::size_t before = server_.calls.size();
        session_->GetHalyxServer(NextId(), &server_, kProduct, 0);
        const auto attemptEnd = std::chrono::steady_clock::now() + kAttemptPatience;
        while (server_.calls.size() == before && std::chrono::steady_clock::now() < attemptEnd) {
            session_->Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // A slow answer to an earlier attempt counts as well.
        for (std::size_t i = first; i < server_.calls.size(); ++i) {
            if (server_.calls[i].pipe != kx::testing::InvalidPipe()) {
                PipeEnd(reinterpret_cast<intptr_t>(server_.calls[i].pipe)).Close();
                server_.calls[i].pipe = kx::testing::InvalidPipe();
                connected = true;
            }
        }
        if (!connected) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return connected;
}

inline kx::testing::LoginCall LauncherGameFixture::AskLoginDetails() {
    const unsigned int id = NextId();
    session_->GetLoginDetails(id, &logins_);
    const kx::testing::LoginCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(logins_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to login request " << id;
        return kx::testing::LoginCall{};
    }
    return *call;
}

inline std::vector<kx::testing::ListedSavegame> LauncherGameFixture::List() {
    const unsigned int id = NextId();
    session_->GetSavegameList(id, &lists_, kProduct);
    const kx::testing::ListCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(lists_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to list request " << id;
        return {};
    }
    return call->savegames;
}

inline halyxdll::SavegameWriter* LauncherGameFixture::OpenWriter(unsigned int slot, bool overwrite,
                                                                 unsigned int* result) {
    const unsigned int id = NextId();
    *result = kNoAnswer;
    session_->GetSavegameWriter(id, &writers_, kProduct, slot, overwrite);
    const kx::testing::WriterCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(writers_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to opening slot " << slot << " for writing";
        return nullptr;
    }
    *result = call->result;
    return call->writer;
}

inline halyxdll::SavegameReader* LauncherGameFixture::OpenReader(unsigned int slot,
                                                                 unsigned int* result) {
    const unsigned int id = NextId();
    *result = kNoAnswer;
    session_->GetSavegameReader(id, &readers_, kProduct, slot);
    const kx::testing::ReaderCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(readers_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to opening slot " << slot << " for reading";
        return nullptr;
    }
    *result = call->result;
    return call->reader;
}

inline bool LauncherGameFixture::WriteInPieces(halyxdll::SavegameWriter* writer,
                                               const std::string& data, unsigned int pieces) {
    std::vector<unsigned int> ids;
    std::size_t offset = 0;
    for (unsigned int i = 1; i <= pieces; ++i) {
        const std::size_t end = data.size() * i / pieces;
        ids.push_back(NextId());
        writer->Write(ids.back(), &writes_, data.data() + offset,
                      static_cast<unsigned int>(end - offset));
        offset = end;
    }
    const bool answered = PumpUntil([&] {
        return std::all_of(ids.begin(), ids.end(),
                           [&](unsigned int id) { return Find(writes_.calls, id) != nullptr; });
    });
    if (!answered) {
        ADD_FAILURE() << "not every write was acknowledged";
        return false;
    }
    std::size_t written = 0;
    for (unsigned int id : ids) written += Find(writes_.calls, id)->value;
    EXPECT_EQ(written, data.size());
    return written == data.size();
}

inline halyxdll::SavegameWriter* LauncherGameFixture::StartSaving(unsigned int slot,
                                                                  const std::string& data) {
    unsigned int result = 0;
    halyxdll::SavegameWriter* writer = OpenWriter(slot, true, &result);
    if (writer == nullptr) {
        ADD_FAILURE() << "slot " << slot << " cannot be opened for writing: result " << result;
        return nullptr;
    }
    if (!WriteInPieces(writer, data, 3)) {
        writer->Close(false);
        return nullptr;
    }
    return writer;
}

inline void LauncherGameFixture::Save(unsigned int slot, const std::string& data,
                                      const std::u16string& name) {
    halyxdll::SavegameWriter* writer = StartSaving(slot, data);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(writer->SetName(kx::testing::Units(name)));
    writer->Close(true);
    // A list made after a writer's Close goes out once the launcher has answered that Close.
    const std::vector<kx::testing::ListedSavegame> listed = List();
    const bool shown = std::any_of(listed.begin(), listed.end(), [&](const auto& savegame) {
        return savegame.savegameId == slot && savegame.size == data.size() && savegame.name == name;
    });
    EXPECT_TRUE(shown) << "slot " << slot << " is not listed as saved";
}

inline std::string LauncherGameFixture::Load(unsigned int slot, unsigned int size,
                                             unsigned int* lastPart) {
    unsigned int result = 0;
    halyxdll::SavegameReader* reader = OpenReader(slot, &result);
    if (reader == nullptr) {
        ADD_FAILURE() << "slot " << slot << " cannot be opened for reading: result " << result;
        return std::string();
    }
    // Kept as long as the fixture: a read that timed out may still be answered later.
    readBuffers_.push_back(std::make_unique<std::string>(size, '\0'));
    std::string& buffer = *readBuffers_.back();
    const unsigned int id = NextId();
    reader->Read(id, &reads_, 0, &buffer[0], size);
    const kx::testing::ResultCall* call = nullptr;
    const bool read = PumpUntil([&] { return (call = Find(reads_.calls, id)) != nullptr; });
    reader->Close();
    if (!read) {
        ADD_FAILURE() << "the read of slot " << slot << " was not answered";
        return std::string();
    }
    if (lastPart != nullptr) *lastPart = call->value;
    return buffer;
}

inline void LauncherGameFixture::ExpectOnlySavegame(unsigned int slot, const std::u16string& name,
                                                    const std::string& data) {
    const std::vector<kx::testing::ListedSavegame> listed = List();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].savegameId, slot);
    EXPECT_EQ(listed[0].name, name);
    EXPECT_EQ(listed[0].size, data.size());
    EXPECT_TRUE(Load(slot, static_cast<unsigned int>(data.size())) == data);
    EXPECT_EQ(ProductFiles(), std::vector<std::string>{std::to_string(slot) + ".sav"});
}

}  // namespace testing
}  // namespace kx
