// The benchmarks' peer: a second process that serves the launcher's pipe and the raw pipe of
// the baselines until its standard input ends (the bench closes it, or exits).
//
//   halyx_benchpeer <launcher pipe name> [serve|garbage|large-list|stall]
//
// The optional behaviour makes the launcher's side misbehave (see LauncherService.h).
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <thread>
#include <vector>

#include "kx/testing/PipeServer.h"
#include "peer/LauncherService.h"
#include "peer/RawService.h"
#include "shared/PeerContract.h"
#include "shared/SavegameImage.h"

namespace {

using kx::testing::PipeEnd;
using kx::testing::PipeServer;

// Accepts clients for good, each served by a thread of its own.
template <typename Service, typename... Options>
void Serve(PipeServer* server, const unsigned char* savegame, Options... options) {
    while (std::unique_ptr<PipeEnd> client = server->Accept(kx::testing::kNoTimeLimit)) {
        std::thread(
            [savegame, options...](std::unique_ptr<PipeEnd> channel) {
                Service(channel.get(), savegame, options...).Run();
            },
            std::move(client))
            .detach();
    }
}

}  // namespace

int main(int argc, char** argv) {
    using Behaviour = kx::bench::LauncherService::Behaviour;
    Behaviour behaviour = Behaviour::kServe;
    if (argc < 2 || argc > 3 ||
        (argc == 3 && !kx::bench::LauncherService::ParseBehaviour(argv[2], &behaviour))) {
        fprintf(stderr, "usage: %s <launcher pipe name> [serve|garbage|large-list|stall]\n",
                argv[0]);
        return 2;
    }
    std::vector<unsigned char> savegame(kx::bench::kSavegameSize);
    kx::bench::FillSavegame(savegame.data(), 0, kx::bench::kSavegameSize);

    // The raw pipe listens last: a client that reaches it finds both listening.
    PipeServer launcher(argv[1]);
    PipeServer raw(kx::bench::kRawPipeName);
    if (!launcher.IsServing() || !raw.IsServing()) {
        fprintf(stderr, "peer: cannot serve the pipes\n");
        return 1;
    }
    std::thread(Serve<kx::bench::LauncherService, Behaviour>, &launcher, savegame.data(), behaviour)
        .detach();
    std::thread(Serve<kx::bench::RawService>, &raw, savegame.data()).detach();

    char byte;
    while (fread(&byte, 1, 1, stdin) == 1) {
    }
    // Serving threads may still be blocked in the pipes: leave without running destructors.
    fflush(stdout);
    _Exit(0);
}
