// Plays a fuzz input as the byte stream a launcher writes into the real launcher pipe, in the
// pieces of a SplitPlan, while the game has requests of every kind pending and keeps calling
// Update; the library's own reader and signal-loop threads carry the bytes. Then the launcher
// vanishes, and the session must drop the connection, open a fresh one and deliver a valid
// answer on it. Nothing may crash, write outside a game buffer, leak or wedge.

#include <fcntl.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "GameSide.h"
#include "SplitPlan.h"
#include "UpdateUntil.h"
#include "kx/clientbox/posix/PipePath.h"
#include "kx/halyxdll/PipeName.h"
#include "kx/halyxdll/halyxdll_internal.h"

namespace {

using kx::fuzz::GameSide;
using kx::fuzz::UpdateUntil;
using kx::halyxdll::HalyxSessionData;

// The launcher's listening end of its pipe, in a pipe directory of this process's own.
class LauncherPipe {
public:
    LauncherPipe() {
        char directory[] = "/tmp/kx-pipe-fuzz-XXXXXX";
        KX_FUZZ_REQUIRE(mkdtemp(directory) != nullptr);
        directory_ = directory;
        KX_FUZZ_REQUIRE(setenv("XDG_RUNTIME_DIR", directory, 1) == 0);
        char path[sizeof(sockaddr_un::sun_path)];
        KX_FUZZ_REQUIRE(kx::clientbox::BuildPipePath(kx::halyxdll::kLauncherPipeName.GetUtf8(),
                                                     path, sizeof(path)));
        path_ = path;
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        KX_FUZZ_REQUIRE(listener_ >= 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path);
        KX_FUZZ_REQUIRE(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) ==
                        0);
        KX_FUZZ_REQUIRE(listen(listener_, 64) == 0);
    }
    ~LauncherPipe() {
        close(listener_);
        unlink(path_.c_str());
        rmdir(directory_.c_str());
    }

    // Closes every connection waiting to be accepted: server pipes that fuzzed answers named
    // after the launcher's own pipe.
    void DropWaiting() {
        for (int peer; (peer = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            close(peer);
        }
    }

    // The connection the session has just opened (connecting to a local socket completes at
    // once, so it is waiting already).
    int AcceptSession() {
        const int peer = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        KX_FUZZ_REQUIRE(peer >= 0);
        return peer;
    }

private:
    std::string directory_;
    std::string path_;
    int listener_ = -1;
};

// Reads and discards what the library has sent, so its writes never wait on a full pipe.
void Drain(int peer) {
    char bytes[65536];
    while (recv(peer, bytes, sizeof(bytes), MSG_DONTWAIT) > 0) {
    }
}

// Writes `length` bytes unless the library has closed its end.
void WriteAll(int peer, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = send(peer, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) return;
            Drain(peer);
            sched_yield();
            continue;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static LauncherPipe launcher;
    GameSide game;
    HalyxSessionData::CreateIfAbsent();
    HalyxSessionData& session = *HalyxSessionData::Current();

    launcher.DropWaiting();
    session.GetHalyxServer(GameSide::kServerId, &game, GameSide::kProductId, 0);
    const int peer = launcher.AcceptSession();
    game.IssueRequests(session);

    kx::fuzz::SplitPlan plan(data, size);
    const std::uint8_t* piece;
    std::size_t length;
    while (plan.Next(piece, length)) {
        WriteAll(peer, piece, length);
        Drain(peer);
        for (unsigned n = plan.UpdatesAfterPiece(); n > 0; --n) session.Update();
    }

    // The launcher vanishes: the session must notice and drop the connection.
    close(peer);
    KX_FUZZ_REQUIRE(UpdateUntil(
        session, [&] { return session.GetConnection() == nullptr; }, [] {}));

    // A fresh connection still carries a valid answer to its listener.
    launcher.DropWaiting();
    session.GetHalyxServer(GameSide::kFreshServerId, &game, GameSide::kProductId, 0);
    const int fresh = launcher.AcceptSession();
    game.AskFreshLogin(session);
    const std::string frame = GameSide::FreshLoginFrame();
    WriteAll(fresh, reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
    KX_FUZZ_REQUIRE(UpdateUntil(
        session, [&] { return game.FreshAnswerArrived(); }, [&] { Drain(fresh); }));
    close(fresh);

    HalyxSessionData::Destroy();
    game.CheckAfterSession();
    return 0;
}
