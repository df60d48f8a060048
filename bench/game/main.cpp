// The benchmarks: starts the peer, opens the library's launcher connection to it, runs every
// benchmark through Google Benchmark, then prints the summary table and writes it as JSON.
//
//   halyx_bench [--smoke] [--json=FILE] [--allocation-stacks] [Google Benchmark flags]
//
// --smoke runs tiny sizes and few iterations and judges no timing target;
// --allocation-stacks prints the stack of every itemized allocation to standard error. The exit
// status is 0 when every benchmark ran (whatever the figures), 1 when one failed, 2 on bad
// arguments.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "game/Benchmarks.h"
#include "game/CollectingReporter.h"
#include "game/GameSession.h"
#include "game/Platform.h"
#include "game/Summary.h"
#include "kx/halyxdll/LibraryLifetime.h"
#include "kx/halyxdll/PipeName.h"
#include "shared/PeerProcess.h"

int main(int argc, char** argv) {
    using namespace kx::bench;
    bool smoke = false;
    bool printStacks = false;
    std::string json = "halyx_bench.json";
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && strcmp(argv[i], "--smoke") == 0) {
            smoke = true;
        } else if (i > 0 && strcmp(argv[i], "--allocation-stacks") == 0) {
            printStacks = true;
        } else if (i > 0 && strncmp(argv[i], "--json=", 7) == 0) {
            json = argv[i] + 7;
        } else {
            arguments.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 2;

    // What loading the library does first: its log records reach the debugger output.
    kx::halyxdll::OnLibraryLoad();
    PeerProcess peer(PeerProcess::ProgramBesideThisOne("halyx_benchpeer"),
                     kx::halyxdll::kLauncherPipeName.GetUtf8());
    if (!peer.IsServing()) {
        fprintf(stderr, "bench: the peer does not serve\n");
        return 1;
    }
    GameSession game;
    if (!game.Connect()) {
        fprintf(stderr, "bench: %s\n", game.GetError().c_str());
        return 1;
    }

    BenchConfig config = smoke ? BenchConfig::Smoke() : BenchConfig::Full();
    config.printStacks = printStacks;
    AllocationSites sites;
    RegisterBenchmarks(config, &game, &sites);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const Summary summary(reporter.GetRuns(), RunsNatively(), smoke, sites);
    printf("\n%s%s\n", DescribePlatform().c_str(),
           smoke ? " (smoke run: no timing target judged)" : "");
    summary.Print(stdout);
    if (!summary.WriteJson(json, DescribePlatform())) {
        fprintf(stderr, "bench: cannot write %s\n", json.c_str());
        return 1;
    }
    printf("JSON: %s\n", json.c_str());
    for (const RunRecord& run : reporter.GetRuns()) {
        if (run.failed) return 1;
    }
    return 0;
}
