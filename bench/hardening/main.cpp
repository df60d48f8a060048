// What a misbehaving launcher costs the game: the game's side runs through the public interface
// and the shared library only, so that the same program measures any build of the library
// (put that build's library beside it, or first on the library path), against the benchmark
// peer in one of its misbehaving launcher behaviours. Prints one line of figures per run.
//
//   halyx_hardening garbage        the longest single Update while the launcher streams
//                                  unparsable frames (its log lines go to the debugger output)
//   halyx_hardening large-list     the peak memory growth caused by one 64 MiB list answer
//   halyx_hardening calls <serve|stall> <write bytes>
//                                  the game-thread time of GetLoginDetails and of one Write of
//                                  <write bytes>, while the launcher reads ("serve") or has
//                                  stopped reading ("stall"); a call still inside the library
//                                  after 10 s is ended by ending the peer, and reported blocked
//
// The exit status is 0 when the figures were measured, 1 when the run failed, 2 on bad
// arguments.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "game/GameSession.h"
#include "hardening/PeakMemory.h"
#include "hardening/Watchdog.h"
#include "shared/PeerProcess.h"

namespace {

using kx::bench::GameSession;
using kx::bench::PeakMemory;
using kx::bench::PeerProcess;
using kx::bench::Watchdog;
using Clock = std::chrono::steady_clock;

// The library's fixed launcher pipe name.
const char kLauncherPipeName[] = "halyx_ipc_pipe";
constexpr auto kBlockedAfter = std::chrono::seconds(10);
constexpr unsigned kTimedLogins = 200;
constexpr unsigned kFirstLoginId = 1000;
constexpr double kMiB = 1024.0 * 1024.0;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

int Fail(const GameSession& game) {
    fprintf(stderr, "hardening: %s\n", game.GetError().c_str());
    return 1;
}

// The launcher streams garbage before it answers a login request: Update runs until the
// answer came, each call timed.
int MeasureGarbage(GameSession& game) {
    game.AskLogin(kFirstLoginId);
    const Clock::time_point start = Clock::now();
    Clock::duration longest{};
    unsigned long updates = 0;
    while (!game.LoginAnswered()) {
        if (Clock::now() - start > std::chrono::seconds(GameSession::kPatienceSeconds * 4)) {
            fprintf(stderr, "hardening: no login answer behind the garbage\n");
            return 1;
        }
        const Clock::time_point before = Clock::now();
        game.Update();
        longest = std::max(longest, Clock::now() - before);
        ++updates;
        std::this_thread::yield();
    }
    printf("garbage: longest Update %.2f ms, all %.1f ms, %lu Updates\n", Milliseconds(longest),
           Milliseconds(Clock::now() - start), updates);
    return 0;
}

// The launcher answers a list request with 64 MiB of minimal entries, then a login request:
// once the login answer came, the list answer was handled (delivered or dropped).
int MeasureLargeList(GameSession& game) {
    const PeakMemory before = PeakMemory::OfThisProcess();
    game.AskList();
    game.AskLogin(kFirstLoginId);
    if (!game.AwaitLogin()) return Fail(game);
    const PeakMemory after = PeakMemory::OfThisProcess();
    printf("large-list: peak resident +%.1f MiB", (after.resident - before.resident) / kMiB);
    if (after.committed != 0) {
        printf(", peak committed +%.1f MiB", (after.committed - before.committed) / kMiB);
    }
    if (game.ListAnswered()) {
        printf(", list delivered with %u entries\n", game.ListedCount());
    } else {
        printf(", list dropped\n");
    }
    return 0;
}

// Times `call` on this thread; when it is still running after kBlockedAfter, ends the peer so
// that it returns, and reports it blocked.
template <typename Call>
std::string TimeCall(PeerProcess& peer, Call call) {
    Watchdog watchdog(kBlockedAfter, [&peer] { peer.End(); });
    const Clock::time_point before = Clock::now();
    call();
    const Clock::duration took = Clock::now() - before;
    if (watchdog.Disarm()) return "> 10 s (blocked; the peer was ended)";
    char text[64];
    snprintf(text, sizeof(text), "%.3f ms", Milliseconds(took));
    return text;
}

int MeasureCalls(PeerProcess& peer, GameSession& game, uint32_t writeBytes) {
    if (!game.OpenWriter(1)) return Fail(game);
    std::vector<double> logins;
    for (unsigned i = 0; i < kTimedLogins; ++i) {
        const Clock::time_point before = Clock::now();
        game.AskLogin(kFirstLoginId + i);
        logins.push_back(Milliseconds(Clock::now() - before) * 1000.0);
    }
    std::sort(logins.begin(), logins.end());
    // The source is touched first: its page faults are not the library's.
    const std::vector<unsigned char> data(writeBytes, 0x5a);
    const std::string write = TimeCall(peer, [&] { game.AskWrite(data.data(), writeBytes); });
    printf("calls: GetLoginDetails median %.1f us, max %.1f us; Write of %u bytes %s\n",
           logins[logins.size() / 2], logins.back(), writeBytes, write.c_str());
    return 0;
}

int Usage(const char* program) {
    fprintf(stderr, "usage: %s garbage | large-list | calls <serve|stall> <write bytes>\n",
            program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage(argv[0]);
    const std::string measurement = argv[1];
    std::string behaviour = measurement;
    uint32_t writeBytes = 0;
    if (measurement == "calls") {
        if (argc != 4) return Usage(argv[0]);
        behaviour = argv[2];
        writeBytes = static_cast<uint32_t>(strtoul(argv[3], nullptr, 10));
    } else if ((measurement != "garbage" && measurement != "large-list") || argc != 2) {
        return Usage(argv[0]);
    }

    PeerProcess peer(PeerProcess::ProgramBesideThisOne("halyx_benchpeer"), kLauncherPipeName,
                     behaviour);
    if (!peer.IsServing()) {
        fprintf(stderr, "hardening: the peer does not serve\n");
        return 1;
    }
    GameSession game;
    if (!game.Connect()) return Fail(game);
    if (measurement == "garbage") return MeasureGarbage(game);
    if (measurement == "large-list") return MeasureLargeList(game);
    return MeasureCalls(peer, game, writeBytes);
}
