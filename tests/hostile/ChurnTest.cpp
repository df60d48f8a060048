// The development launcher killed and started again over and over while a game keeps asking
// for things: afterwards the process holds no more threads, descriptors or handles, sockets or
// heap than before. The game reuses a small ring of request ids, and every pending table holds
// every id of the ring before the first count, so the entries of requests lost with a
// connection (which the session keeps by design) are overwritten instead of adding up: what
// grows beyond the high-water marks of the pools would be a leak.
#include <cstdio>
#include <map>

#include <gtest/gtest.h>

#include "ProcessResources.h"
#include "kx/clientbox/Buffer.h"
#include "kx/common/TemplatedReferenceCounter.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "kx/testing/LauncherGameFixture.h"
#include "kx/testing/PipeEnd.h"

namespace kx {
namespace testing {
namespace {

using namespace kx::halyxdll;
using kx::clientbox::Buffer;
using BufferCounter = kx::common::TemplatedReferenceCounter<Buffer>;

// Request ids of the game: a ring above the library's own id 1.
constexpr unsigned int kFirstId = 100;
constexpr unsigned int kIdRing = 32;
// A new batch of requests goes out while fewer answers than this are due.
constexpr int kMaxDue = 4;
constexpr unsigned int kProduct = LauncherGameFixture::kProduct;
constexpr unsigned int kReadSize = 256;
// Launcher restarts counted after the warm-up (a few seconds natively, under 40 s under Wine).
constexpr int kChurnRounds = 100;
// Heap growth allowed beside the pools over all rounds: under 170 bytes a round.
constexpr std::int64_t kSlackBytes = 16 * 1024;

// What the heap count charges for one block of `size` bytes: an allocator rounds a block up to
// its size class (a sanitizer's by a quarter of a buffer and more).
std::int64_t HeapBytesPerBlock(std::size_t size) {
    const int kBlocks = 64;
    void* blocks[kBlocks];
    const std::int64_t before = CountProcessResources().heapBytes;
    for (void*& block : blocks) block = ::operator new(size);
    const std::int64_t after = CountProcessResources().heapBytes;
    for (void* block : blocks) ::operator delete(block);
    return (after - before) / kBlocks;
}

// A game that keeps one connection busy: reconnects with GetHalyxServer whenever the
// connection is gone, and otherwise sends every kind of request, reading what it opens and
// closing what it is given. All of it on the test's thread, as a game's frame would.
class ChurningGame : IGetHalyxServerListener,
                     IGetLoginDetailsListener,
                     IGetSavegameListListener,
                     IGetSavegameReaderListener,
                     IGetSavegameWriterListener,
                     ISavegameReadListener,
                     ISavegameWriteListener,
                     IRemoveSavegameListener {
public:
    // Plays on `session`, which must outlive the game.
    explicit ChurningGame(HalyxSession& session) : session_(session) {}
    ~ChurningGame() { CloseReaders(); }

    // One frame: reconnect or ask for more, then Update.
    void Frame() {
        kx::clientbox::PBConnection* connection = HalyxSessionData::Current()->GetConnection();
        if (connection == nullptr || connection->IsClosed()) {
            // What was due on the lost connection will not come.
            due_ = 0;
            CloseReaders();
            session_.GetHalyxServer(NextId(), this, kProduct, 0);
        } else if (due_ < kMaxDue) {
            session_.GetLoginDetails(NextId(), this);
            session_.GetSavegameList(NextId(), this, kProduct);
            session_.GetSavegameReader(NextId(), this, kProduct, 1);
            session_.GetSavegameWriter(NextId(), this, kProduct, 1 + batches_ % 2, true);
            session_.RemoveSavegame(NextId(), this, kProduct, 3);
            session_.GetHalyxServer(NextId(), this, kProduct, 0);
            due_ += 6;
            ++batches_;
        }
        updating_ = true;
        session_.Update();
        updating_ = false;
    }

    // Records a request of every kind under every id of the ring while no connection exists
    // (nothing is sent): the pending tables then hold every entry they ever will.
    void FillPendingTables() {
        HalyxSessionData& state = *HalyxSessionData::Current();
        for (unsigned int i = 0; i < kIdRing; ++i) {
            const unsigned int id = NextId();
            session_.GetHalyxServer(id, this, kProduct, 0);
            session_.GetLoginDetails(id, this);
            session_.GetSavegameList(id, this, kProduct);
            session_.GetSavegameReader(id, this, kProduct, 1);
            session_.GetSavegameWriter(id, this, kProduct, 1, true);
            session_.RemoveSavegame(id, this, kProduct, 3);
            state.Read(id, this, kProduct, 1, 0, buffers_[i], kReadSize);
            state.Write(id, this, kProduct, 1, data_, sizeof(data_));
        }
    }

    bool Connected() const {
        kx::clientbox::PBConnection* connection = HalyxSessionData::Current()->GetConnection();
        return connection != nullptr && !connection->IsClosed();
    }
    // Answers the launcher sent that reached a listener so far.
    long Answers() const { return answers_; }
    long Batches() const { return batches_; }

private:
    unsigned int NextId() { return kFirstId + next_++ % kIdRing; }

    // Failures reported before a request returns do not count as answers.
    void Answered() {
        if (!updating_) return;
        ++answers_;
        if (due_ > 0) --due_;
    }

    void CloseReaders() {
        for (auto& open : readers_) open.second->Close();
        readers_.clear();
    }

    void OnGetHalyxServer(unsigned int, PipeHandle pipe) override {
        if (pipe != reinterpret_cast<PipeHandle>(static_cast<intptr_t>(-1))) {
            kx::testing::PipeEnd(reinterpret_cast<intptr_t>(pipe)).Close();
        }
        Answered();
    }
    void OnGetLoginDetails(unsigned int, const char*, const unsigned short*, const char*) override {
        Answered();
    }
    void OnGetSavegameList(unsigned int, SavegameInfo*, unsigned int) override { Answered(); }
    void OnGetSavegameReader(unsigned int, unsigned int, SavegameReader* reader) override {
        Answered();
        if (reader == nullptr) return;
        const unsigned int id = NextId();
        readers_[id] = reader;
        ++due_;
        reader->Read(id, this, 0, buffers_[id - kFirstId], kReadSize);
    }
    void OnGetSavegameWriter(unsigned int, unsigned int, SavegameWriter* writer) override {
        Answered();
        if (writer == nullptr) return;
        ++due_;
        writer->Write(NextId(), this, data_, sizeof(data_));
        writer->Close(true);
    }
    void OnSavegameRead(unsigned int requestId, unsigned int) override {
        Answered();
        const auto open = readers_.find(requestId);
        if (open == readers_.end()) return;
        open->second->Close();
        readers_.erase(open);
    }
    void OnSavegameWrite(unsigned int, unsigned int) override { Answered(); }
    void OnRemoveSavegame(unsigned int, unsigned int) override { Answered(); }

    HalyxSession& session_;
    unsigned int next_ = 0;
    int due_ = 0;
    long answers_ = 0;
    long batches_ = 0;
    bool updating_ = false;
    // Open readers by the id of their read.
    std::map<unsigned int, SavegameReader*> readers_;
    char buffers_[kIdRing][kReadSize] = {};
    char data_[512] = {};
};

void Print(const char* when, const ProcessResources& counts) {
    std::printf("%s: threads %ld, descriptors or handles %ld, sockets %ld, heap %lld bytes\n", when,
                counts.threads, counts.handles, counts.sockets,
                static_cast<long long>(counts.heapBytes));
}

class ChurnTest : public LauncherGameFixture {
protected:
    // Before the first test's fixture: nothing has started a thread yet.
    static void SetUpTestSuite() { PrepareHeapCount(); }

    // Starts the launcher, lets the game take `answers` more answers on the new connection,
    // kills the launcher while requests are due, and runs frames until the session has dropped
    // the connection.
    void Round(long answers) {
        ASSERT_TRUE(StartLauncher());
        const long target = game_.Answers() + answers;
        ASSERT_TRUE(Frames([&] { return game_.Connected() && game_.Answers() >= target; }))
            << "the game got no answers; the launcher's log:\n"
            << LauncherLogText();
        KillLauncher();
        ASSERT_TRUE(
            Frames([&] { return HalyxSessionData::Current()->GetConnection() == nullptr; }));
    }

    // Runs game frames until `done`, for at most kPatience.
    template <typename Done>
    bool Frames(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            game_.Frame();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }

    // What the process holds once the launcher is gone and the library's threads have let go
    // of the lost connection: counted until two counts 20 ms apart agree.
    ProcessResources Settled() {
        ProcessResources last = CountProcessResources();
        for (int i = 0; i < 100; ++i) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
            Frames([&] { return std::chrono::steady_clock::now() >= until; });
            const ProcessResources now = CountProcessResources();
            if (now.threads == last.threads && now.handles == last.handles &&
                now.sockets == last.sockets && now.heapBytes == last.heapBytes) {
                return now;
            }
            last = now;
        }
        return last;
    }

    ChurningGame game_{*session_};
};

TEST_F(ChurnTest, LauncherKilledAndRestartedWhileTheGameKeepsRequesting) {
    // Rounds before the first count: the pools of buffers and counters reach their high-water
    // marks and the library's threads start.
    const int kWarmUpRounds = 5;
    const auto start = std::chrono::steady_clock::now();
    game_.FillPendingTables();
    for (int round = 0; round < kWarmUpRounds; ++round) {
        ASSERT_NO_FATAL_FAILURE(Round(20)) << "warm-up round " << round;
    }
    const ProcessResources before = Settled();
    const std::int64_t buffersBefore = Buffer::GetHeapBlockCount();
    const std::int64_t countersBefore = BufferCounter::GetHeapBlockCount();
    const long answersBefore = game_.Answers();
    for (int round = 0; round < kChurnRounds; ++round) {
        // Killed after a varying number of answers, so the kill falls at varying points of the
        // conversations.
        ASSERT_NO_FATAL_FAILURE(Round(1 + round % 13)) << "round " << round;
    }
    const ProcessResources after = Settled();
    const std::int64_t buffersAfter = Buffer::GetHeapBlockCount();
    const std::int64_t countersAfter = BufferCounter::GetHeapBlockCount();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Print("before", before);
    Print("after", after);
    std::printf(
        "buffers taken from the heap: %lld before, %lld after; their counters: %lld, %lld\n",
        static_cast<long long>(buffersBefore), static_cast<long long>(buffersAfter),
        static_cast<long long>(countersBefore), static_cast<long long>(countersAfter));
    std::printf("%d rounds after %d warm-up rounds in %.1f s; %ld answers, %ld batches\n",
                kChurnRounds, kWarmUpRounds, seconds, game_.Answers() - answersBefore,
                game_.Batches());

    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.sockets, before.sockets);
    // The pools of buffers and of their counters keep their blocks for good, and their
    // high-water marks may still rise when more buffers happen to be in use at once; so may the
    // capacity of tables. What grows beyond those pools stays below what leaking one small
    // object a round would add.
    const std::int64_t poolGrowth =
        (buffersAfter - buffersBefore) * HeapBytesPerBlock(sizeof(Buffer)) +
        (countersAfter - countersBefore) * HeapBytesPerBlock(sizeof(BufferCounter));
    const std::int64_t beyondPools = after.heapBytes - before.heapBytes - poolGrowth;
    std::printf("heap grown beyond the pools: %lld bytes\n", static_cast<long long>(beyondPools));
    EXPECT_LE(beyondPools, kSlackBytes);
}

}  // namespace
}  // namespace testing
}  // namespace kx
