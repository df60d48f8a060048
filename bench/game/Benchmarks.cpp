#include "game/Benchmarks.h"

#include <benchmark/benchmark.h>
#include <string.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HalyxDll.pb.h"
#include "game/AllocationCounter.h"
#include "game/AllocationKinds.h"
#include "game/Percentiles.h"
#include "game/StackSymbols.h"
#include "game/ThreadCpu.h"
#include "kx/clientbox/Buffer.h"
#include "kx/common/TemplatedReferenceCounter.h"
#include "kx/halyxdll/CallbackAdapter.h"
#include "shared/Channel.h"
#include "shared/PeerContract.h"
#include "shared/SavegameImage.h"

namespace kx {
namespace bench {

namespace {

using Clock = std::chrono::steady_clock;
namespace wire = protocol::halyxdll;

constexpr uint32_t kKiB = 1024;
constexpr uint32_t kMiB = 1024 * 1024;
// The raw reader's read size, and the size of the library's and the raw writes.
constexpr uint32_t kRawReadSize = 64 * kKiB;
constexpr uint32_t kWriteSize = kMiB;
// Login round trips use ids from here on, all of the same encoded size (two bytes).
constexpr unsigned kFirstLoginId = 1000;
constexpr unsigned kLoginIds = 10000;
constexpr unsigned kWarmUpRoundTrips = 200;
// Round trips whose allocations are itemized (after those counted).
constexpr unsigned kItemizedRoundTrips = 50;
// The size of the reads and writes whose allocations are counted.
constexpr uint32_t kCountedTransferSize = 64 * kKiB;

// Buffers shared by every benchmark, touched once so that no benchmark pays their page faults.
struct Buffers {
    std::vector<unsigned char> destination;
    std::vector<unsigned char> writeSource;
};

Buffers& SharedBuffers(const BenchConfig& config) {
    static Buffers buffers;
    if (buffers.destination.size() < config.readBytes) {
        buffers.destination.assign(config.readBytes, 0);
        buffers.writeSource.resize(kWriteSize);
        FillSavegame(buffers.writeSource.data(), 0, kWriteSize);
    }
    return buffers;
}

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// Fails the run when the destination does not hold the savegame's first `count` bytes.
void CheckSavegameData(benchmark::State& state, const unsigned char* data, uint32_t count) {
    const uint32_t matching = MatchingSavegamePrefix(data, 0, count);
    if (matching != count) {
        state.SkipWithError(
            ("read data differs from the savegame at byte " + std::to_string(matching)).c_str());
    }
}

unsigned LoginId(unsigned i) {
    return kFirstLoginId + i % kLoginIds;
}

// Frame sizes (prefix included) of a login request and its answer, as the library and the
// peer send them.
uint32_t LoginRequestFrameSize() {
    wire::Req request;
    request.set_requestid(kFirstLoginId);
    request.mutable_getlogindetails();
    return 4 + static_cast<uint32_t>(request.ByteSizeLong());
}

uint32_t LoginAnswerFrameSize() {
    wire::Rsp answer;
    answer.set_requestid(kFirstLoginId);
    wire::GetLoginDetailsRsp* login = answer.mutable_getlogindetails();
    login->set_username(kUserName);
    login->set_password(kPassword);
    login->set_cdkey(kCdKey);
    return 4 + static_cast<uint32_t>(answer.ByteSizeLong());
}

std::unique_ptr<Channel> ConnectRaw(benchmark::State& state) {
    std::unique_ptr<Channel> channel = Channel::Connect(kRawPipeName);
    if (!channel) state.SkipWithError("cannot connect to the peer's raw pipe");
    return channel;
}

void RawRead(benchmark::State& state, const BenchConfig& config, uint32_t partSize) {
    unsigned char* destination = SharedBuffers(config).destination.data();
    const uint32_t size = config.readBytes;
    std::unique_ptr<Channel> channel = ConnectRaw(state);
    if (!channel) return;
    memset(destination, 0, size);
    for (auto _ : state) {
        bool received = SendRawCommand(*channel, RawCommand::kStream, size, partSize, 0);
        for (uint32_t got = 0; received && got < size;) {
            const long count = channel->ReadSome(
                destination + got, size - got < kRawReadSize ? size - got : kRawReadSize);
            received = count > 0;
            got += static_cast<uint32_t>(count > 0 ? count : 0);
        }
        if (!received) {
            state.SkipWithError("raw stream broke off");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    CheckSavegameData(state, destination, size);
}

void LibraryRead(benchmark::State& state, const BenchConfig& config, GameSession* game,
                 uint32_t partSize) {
    unsigned char* destination = SharedBuffers(config).destination.data();
    const uint32_t size = config.readBytes;
    if (!game->OpenReader(SlotOfPartSize(partSize))) {
        state.SkipWithError(game->GetError().c_str());
        return;
    }
    memset(destination, 0, size);
    const uint64_t cpuBefore = CurrentThreadCpuNanoseconds();
    for (auto _ : state) {
        if (!game->Read(destination, 0, size)) {
            state.SkipWithError(game->GetError().c_str());
            return;
        }
    }
    const double mebibytes = static_cast<double>(state.iterations()) * size / kMiB;
    state.counters["game_cpu_ms_per_MiB"] =
        static_cast<double>(CurrentThreadCpuNanoseconds() - cpuBefore) / 1e6 / mebibytes;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    CheckSavegameData(state, destination, size);
}

void RawWrite(benchmark::State& state, const BenchConfig& config) {
    const unsigned char* source = SharedBuffers(config).writeSource.data();
    std::unique_ptr<Channel> channel = ConnectRaw(state);
    if (!channel) return;
    for (auto _ : state) {
        bool written =
            SendRawCommand(*channel, RawCommand::kSink, config.writeBytes, kWriteSize, 0);
        for (uint32_t done = 0; written && done < config.writeBytes; done += kWriteSize) {
            written = channel->WriteAll(source, kWriteSize);
        }
        unsigned char acknowledgement[4];
        if (!written || !channel->ReadFull(acknowledgement, sizeof(acknowledgement))) {
            state.SkipWithError("raw sink broke off");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * config.writeBytes);
}

void LibraryWrite(benchmark::State& state, const BenchConfig& config, GameSession* game) {
    const unsigned char* source = SharedBuffers(config).writeSource.data();
    if (!game->OpenWriter(1)) {
        state.SkipWithError(game->GetError().c_str());
        return;
    }
    for (auto _ : state) {
        if (!game->WriteRepeatedly(source, kWriteSize, config.writeBytes / kWriteSize)) {
            state.SkipWithError(game->GetError().c_str());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * config.writeBytes);
}

void ReportLatency(benchmark::State& state, std::vector<double>* samples) {
    state.counters["p50_us"] = Percentile(samples, 50);
    state.counters["p99_us"] = Percentile(samples, 99);
}

void RawPingPong(benchmark::State& state) {
    std::unique_ptr<Channel> channel = ConnectRaw(state);
    if (!channel) return;
    const std::vector<unsigned char> request(LoginRequestFrameSize(), 0x08);
    std::vector<unsigned char> answer(LoginAnswerFrameSize());
    SendRawCommand(*channel, RawCommand::kPingPong, 0, static_cast<uint32_t>(request.size()),
                   static_cast<uint32_t>(answer.size()));
    const auto roundTrip = [&] {
        return channel->WriteAll(request.data(), request.size()) &&
               channel->ReadFull(answer.data(), answer.size());
    };
    for (unsigned i = 0; i < kWarmUpRoundTrips; ++i) roundTrip();
    std::vector<double> samples;
    samples.reserve(state.max_iterations);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!roundTrip()) {
            state.SkipWithError("raw ping-pong broke off");
            return;
        }
        samples.push_back(Microseconds(Clock::now() - start));
    }
    ReportLatency(state, &samples);
}

void LibraryRoundTrip(benchmark::State& state, GameSession* game) {
    for (unsigned i = 0; i < kWarmUpRoundTrips; ++i) game->LoginRoundTrip(LoginId(i));
    std::vector<double> samples;
    samples.reserve(state.max_iterations);
    unsigned i = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!game->LoginRoundTrip(LoginId(i++))) {
            state.SkipWithError(game->GetError().c_str());
            return;
        }
        samples.push_back(Microseconds(Clock::now() - start));
    }
    ReportLatency(state, &samples);
}

// The game-thread time of one request call per iteration: `call` alone is timed, its answer is
// then awaited untimed, so that requests do not pile up.
template <typename Call, typename Await>
void TimeRequestCalls(benchmark::State& state, GameSession* game, Call call, Await await) {
    unsigned i = 0;
    for (auto _ : state) {
        const Clock::time_point before = Clock::now();
        call(i++);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - before).count());
        if (!await()) {
            state.SkipWithError(game->GetError().c_str());
            return;
        }
    }
}

void LoginCalls(benchmark::State& state, GameSession* game) {
    TimeRequestCalls(
        state, game, [game](unsigned i) { game->AskLogin(LoginId(i)); },
        [game] { return game->AwaitLogin(); });
}

// A write source of `size` bytes of the savegame image, kept for the whole run.
const unsigned char* WriteSource(uint32_t size) {
    static std::vector<unsigned char> source;
    if (source.size() < size) {
        source.resize(size);
        FillSavegame(source.data(), 0, size);
    }
    return source.data();
}

void WriteCalls(benchmark::State& state, GameSession* game, uint32_t size) {
    const unsigned char* source = WriteSource(size);
    if (!game->OpenWriter(1)) {
        state.SkipWithError(game->GetError().c_str());
        return;
    }
    TimeRequestCalls(
        state, game, [game, source, size](unsigned) { game->AskWrite(source, size); },
        [game] { return game->AwaitWrites(1); });
}

// The baseline of a write call: what copying its bytes into new memory costs.
void CopyCalls(benchmark::State& state, uint32_t size) {
    const unsigned char* source = WriteSource(size);
    for (auto _ : state) {
        const Clock::time_point before = Clock::now();
        std::unique_ptr<unsigned char[]> copy(new unsigned char[size]);
        memcpy(copy.get(), source, size);
        benchmark::DoNotOptimize(copy.get());
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - before).count());
    }
}

void IdleUpdate(benchmark::State& state, GameSession* game) {
    for (auto _ : state) game->Update();
}

// Pool blocks of the transport's buffers and of their reference counters taken from the heap
// so far.
double PoolHeapBlocks() {
    using BufferPool = common::Pooled<clientbox::Buffer>;
    using CounterPool = common::Pooled<common::TemplatedReferenceCounter<clientbox::Buffer>>;
    return BufferPool::GetHeapBlockCount() + CounterPool::GetHeapBlockCount();
}

void PrintStack(const char* benchmark, const AllocationKind& kind,
                const std::vector<std::string>& stack) {
    fprintf(stderr, "%s: %s (%s)\n", benchmark, kind.category.c_str(), kind.site.c_str());
    for (const std::string& frame : stack) fprintf(stderr, "    %s\n", frame.c_str());
}

// Counts the allocations of `roundTrip` (one per iteration) after a warm-up, itemized; the
// sites of "other" allocations go to `sites` under `name`. With `printStacks`, the stack of
// every itemized allocation goes to standard error.
template <typename RoundTrip>
void CountAllocations(benchmark::State& state, const char* name, bool printStacks,
                      GameSession* game, AllocationSites* sites, RoundTrip roundTrip) {
    for (unsigned i = 0; i < kWarmUpRoundTrips; ++i) {
        if (!roundTrip(i)) {
            state.SkipWithError(game->GetError().c_str());
            return;
        }
    }
    const double poolBefore = PoolHeapBlocks();
    const double adapterBlocksBefore = halyxdll::CallbackAdapter::GetHeapBlockCount();
    allocation_counter::Start(false);
    unsigned i = kWarmUpRoundTrips;
    bool served = true;
    for (auto _ : state) served = served && roundTrip(i++);
    const uint64_t total = allocation_counter::Stop();
    const double poolMisses = PoolHeapBlocks() - poolBefore;
    // Then a few more round trips with their stacks kept, to itemize: keeping stacks is slow
    // and their number is bounded.
    allocation_counter::Start(true);
    for (unsigned k = 0; k < kItemizedRoundTrips; ++k) served = served && roundTrip(i++);
    allocation_counter::Stop();
    if (!served) {
        state.SkipWithError(game->GetError().c_str());
        return;
    }
    AllocationTally tally;
    for (const std::vector<std::string>& stack : NameKeptStacks()) {
        const AllocationKind kind = ClassifyAllocation(stack);
        tally.Add(kind);
        if (printStacks) PrintStack(name, kind, stack);
    }
    const double roundTrips = static_cast<double>(state.iterations());
    state.counters["total"] = static_cast<double>(total) / roundTrips;
    state.counters["pool_misses"] = poolMisses / roundTrips;
    state.counters["adapter_pool_misses"] =
        (halyxdll::CallbackAdapter::GetHeapBlockCount() - adapterBlocksBefore) / roundTrips;
    state.counters["adapters_live"] = halyxdll::CallbackAdapter::GetLiveCount();
    for (const auto& category : tally.byCategory) {
        state.counters[category.first] = category.second / static_cast<double>(kItemizedRoundTrips);
    }
    std::map<std::string, double>& other = (*sites)[name];
    other.clear();
    for (const auto& site : tally.otherSites) {
        other[site.first] = site.second / static_cast<double>(kItemizedRoundTrips);
    }
}

void IdleThreads(benchmark::State& state, const BenchConfig& config, GameSession* game) {
    for (auto _ : state) {
        const std::vector<ThreadCpuSample> before = SampleOtherThreads();
        const Clock::time_point start = Clock::now();
        // The game goes on calling Update once a frame.
        while (Clock::now() - start < std::chrono::duration<double>(config.idleSeconds)) {
            game->Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        double cpu = 0;
        double wakeups = 0;
        const std::vector<ThreadCpuSample> spent = ThreadCpuSince(before, SampleOtherThreads());
        for (const ThreadCpuSample& thread : spent) {
            cpu += static_cast<double>(thread.cpuNanoseconds);
            wakeups += static_cast<double>(thread.wakeups);
        }
        state.counters["cpu_ms_per_10s"] = cpu / 1e6 * 10 / seconds;
        if (CountsWakeups()) state.counters["wakeups_per_10s"] = wakeups * 10 / seconds;
        state.counters["threads"] = static_cast<double>(spent.size());
    }
}

void RegisterAllocationBenchmarks(const BenchConfig& config, GameSession* game,
                                  AllocationSites* sites) {
    // Where allocations are not counted, their figures stay unmeasured.
    if (!allocation_counter::IsSupported()) return;
    std::vector<unsigned char>* destination = &SharedBuffers(config).destination;
    const unsigned char* source = SharedBuffers(config).writeSource.data();
    benchmark::RegisterBenchmark("allocations/login", [config, game,
                                                       sites](benchmark::State& state) {
        CountAllocations(state, "allocations/login", config.printStacks, game, sites,
                         [game](unsigned i) { return game->LoginRoundTrip(LoginId(i)); });
    })->Iterations(config.allocationRoundTrips);
    benchmark::RegisterBenchmark("allocations/login-c", [config, game,
                                                         sites](benchmark::State& state) {
        CountAllocations(state, "allocations/login-c", config.printStacks, game, sites,
                         [game](unsigned i) { return game->LoginRoundTripC(LoginId(i)); });
    })->Iterations(config.allocationRoundTrips);
    benchmark::RegisterBenchmark("allocations/read", [config, game, sites,
                                                      destination](benchmark::State& state) {
        if (!game->OpenReader(SlotOfPartSize(kCountedTransferSize))) {
            state.SkipWithError(game->GetError().c_str());
            return;
        }
        CountAllocations(state, "allocations/read", config.printStacks, game, sites,
                         [game, destination](unsigned) {
                             return game->Read(destination->data(), 0, kCountedTransferSize);
                         });
    })->Iterations(config.allocationRoundTrips);
    benchmark::RegisterBenchmark("allocations/write", [config, game, sites,
                                                       source](benchmark::State& state) {
        if (!game->OpenWriter(1)) {
            state.SkipWithError(game->GetError().c_str());
            return;
        }
        CountAllocations(state, "allocations/write", config.printStacks, game, sites,
                         [game, source](unsigned) {
                             return game->WriteRepeatedly(source, kCountedTransferSize, 1);
                         });
    })->Iterations(config.allocationRoundTrips);
}

}  // namespace

BenchConfig BenchConfig::Full() {
    return BenchConfig();
}

BenchConfig BenchConfig::Smoke() {
    BenchConfig config;
    config.smoke = true;
    config.readBytes = 2 * kMiB;
    config.writeBytes = 2 * kMiB;
    config.roundTrips = 200;
    config.allocationRoundTrips = 50;
    config.idleSeconds = 0.3;
    config.repetitions = 1;
    return config;
}

void RegisterBenchmarks(const BenchConfig& config, GameSession* game, AllocationSites* sites) {
    SharedBuffers(config);
    const auto timed = [&config](benchmark::internal::Benchmark* benchmark) {
        benchmark->Repetitions(static_cast<int>(config.repetitions))->UseRealTime();
        if (config.smoke) benchmark->Iterations(2);
        return benchmark;
    };
    for (const uint32_t part : {64 * kKiB, kMiB}) {
        const std::string size = part == kMiB ? "1MiB" : "64KiB";
        timed(benchmark::RegisterBenchmark(
            ("read/raw/" + size).c_str(),
            [config, part](benchmark::State& state) { RawRead(state, config, part); }));
        timed(benchmark::RegisterBenchmark(("read/library/" + size).c_str(),
                                           [config, game, part](benchmark::State& state) {
                                               LibraryRead(state, config, game, part);
                                           }));
    }
    timed(benchmark::RegisterBenchmark(
        "write/raw/1MiB", [config](benchmark::State& state) { RawWrite(state, config); }));
    timed(benchmark::RegisterBenchmark(
        "write/library/1MiB",
        [config, game](benchmark::State& state) { LibraryWrite(state, config, game); }));

    benchmark::RegisterBenchmark("roundtrip/raw", RawPingPong)
        ->Repetitions(static_cast<int>(config.repetitions))
        ->Iterations(config.roundTrips)
        ->UseRealTime();
    benchmark::RegisterBenchmark("roundtrip/library",
                                 [game](benchmark::State& state) { LibraryRoundTrip(state, game); })
        ->Repetitions(static_cast<int>(config.repetitions))
        ->Iterations(config.roundTrips)
        ->UseRealTime();

    benchmark::RegisterBenchmark("call/login",
                                 [game](benchmark::State& state) { LoginCalls(state, game); })
        ->Repetitions(static_cast<int>(config.repetitions))
        ->Iterations(config.smoke ? 20 : 2000)
        ->UseManualTime();
    const uint32_t maxWrite = halyxdll::SavegameWriter::kMaxWriteByteCount;
    for (const uint32_t size : {kMiB, maxWrite}) {
        const std::string name = size == kMiB ? "1MiB" : "max";
        const int iterations = config.smoke ? 2 : size == kMiB ? 200 : 10;
        benchmark::RegisterBenchmark(("call/copy/" + name).c_str(),
                                     [size](benchmark::State& state) { CopyCalls(state, size); })
            ->Repetitions(static_cast<int>(config.repetitions))
            ->Iterations(iterations)
            ->UseManualTime();
        benchmark::RegisterBenchmark(
            ("call/write/" + name).c_str(),
            [game, size](benchmark::State& state) { WriteCalls(state, game, size); })
            ->Repetitions(static_cast<int>(config.repetitions))
            ->Iterations(iterations)
            ->UseManualTime();
    }

    auto* update = benchmark::RegisterBenchmark(
        "update/idle", [game](benchmark::State& state) { IdleUpdate(state, game); });
    update->Repetitions(static_cast<int>(config.repetitions))->UseRealTime();
    if (config.smoke) update->Iterations(1000);

    RegisterAllocationBenchmarks(config, game, sites);
    benchmark::RegisterBenchmark(
        "cpu/idle", [config, game](benchmark::State& state) { IdleThreads(state, config, game); })
        ->Iterations(1)
        ->Repetitions(1);
}

}  // namespace bench
}  // namespace kx
