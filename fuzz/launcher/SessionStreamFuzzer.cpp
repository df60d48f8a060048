// Plays a fuzz input as the byte stream a launcher sends, in the pieces of a SplitPlan, into a
// session whose launcher connection runs over a stand-in socket, while the game has requests of
// every kind pending: the real unframing, parsing and dispatch, without a pipe or the pipe
// reader thread, so that inputs run fast and reproducibly. Then the launcher vanishes, and the
// session must drop the connection and deliver a valid answer on a fresh one. Nothing may
// crash, write outside a game buffer, leak or wedge. An input whose first byte has its top bit
// set describes large answers (see LargeAnswers.h) instead of carrying the stream itself; run
// with -rss_limit_mb, so that an answer whose decoding costs far more memory than its wire size
// is a finding.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "GameSide.h"
#include "LargeAnswers.h"
#include "LoopFlush.h"
#include "SplitPlan.h"
#include "StandInSocket.h"
#include "UpdateUntil.h"
#include "kx/clientbox/PBConnection.h"
#include "kx/common/SharedPtr.h"
#include "kx/halyxdll/halyxdll_internal.h"

namespace {

using kx::common::SharedPtr;
using kx::fuzz::GameSide;
using kx::fuzz::StandInSocket;
using kx::fuzz::UpdateUntil;
using kx::halyxdll::HalyxSessionData;

// Server pipes that fuzzed answers name are looked for in an empty pipe directory of this
// process's own, so they are never found.
bool UseEmptyPipeDirectory() {
    char directory[] = "/tmp/kx-session-fuzz-XXXXXX";
    KX_FUZZ_REQUIRE(mkdtemp(directory) != nullptr);
    return setenv("XDG_RUNTIME_DIR", directory, 1) == 0;
}

// Hands `length` bytes to the session's connection the way the pipe reader would.
void Receive(HalyxSessionData& session, StandInSocket& socket, const std::uint8_t* data,
             std::size_t length) {
    socket.Push(data, length);
    if (kx::clientbox::PBConnection* connection = session.GetConnection()) connection->OnData();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isolated = UseEmptyPipeDirectory();
    KX_FUZZ_REQUIRE(isolated);
    GameSide game;
    HalyxSessionData::CreateIfAbsent();
    HalyxSessionData& session = *HalyxSessionData::Current();

    const SharedPtr<StandInSocket> launcher(new StandInSocket);
    session.UseLauncherSocket(launcher);
    session.GetHalyxServer(GameSide::kServerId, &game, GameSide::kProductId, 0);
    game.IssueRequests(session);

    std::string expanded;
    if (size >= 2 && (data[0] & 0x80) != 0) {
        expanded.assign(reinterpret_cast<const char*>(data), 2);
        expanded += kx::fuzz::LargeAnswers::Expand(data + 2, size - 2);
        data = reinterpret_cast<const std::uint8_t*>(expanded.data());
        size = expanded.size();
    }
    kx::fuzz::SplitPlan plan(data, size);
    const std::uint8_t* piece;
    std::size_t length;
    while (plan.Next(piece, length)) {
        Receive(session, *launcher, piece, length);
        for (unsigned n = plan.UpdatesAfterPiece(); n > 0; --n) session.Update();
    }

    // The launcher vanishes: the session must notice and drop the connection.
    launcher->Close();
    KX_FUZZ_REQUIRE(UpdateUntil(
        session, [&] { return session.GetConnection() == nullptr; }, [] {}));

    // A fresh connection still carries a valid answer to its listener.
    const SharedPtr<StandInSocket> fresh(new StandInSocket);
    session.UseLauncherSocket(fresh);
    session.GetHalyxServer(GameSide::kFreshServerId, &game, GameSide::kProductId, 0);
    game.AskFreshLogin(session);
    const std::string frame = GameSide::FreshLoginFrame();
    Receive(session, *fresh, reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
    KX_FUZZ_REQUIRE(UpdateUntil(
        session, [&] { return game.FreshAnswerArrived(); }, [] {}));

    HalyxSessionData::Destroy();
    // The closing notifications run on the signal loop: let them finish within this input, so
    // that what they free is not counted against the next one (which would make the fuzzer
    // look for a leak after every input).
    kx::testing::FlushLoop(kx::common::SignalLoop::Instance());
    game.CheckAfterSession();
    return 0;
}
