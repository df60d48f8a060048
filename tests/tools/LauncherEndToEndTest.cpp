// The real halyx_devlauncher process, spoken to over the real pipe with hand-made frames.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "kx/testing/LauncherProcess.h"
#include "RequestBuilders.h"
#include "Wire.h"
#include "kx/devlauncher/EchoService.h"
#include "kx/devlauncher/PipeServer.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/Frame.h"
#include "kx/testing/TempDirectory.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace devlauncher {
namespace {

using namespace testing;  // process, client, frames, request builders
using kx::testing::UniquePipeName;
using kx::testing::Frame;
using kx::testing::ReadWholeFile;
using kx::testing::TempDirectory;
using kx::testing::WriteWholeFile;
namespace fs = std::filesystem;
constexpr std::chrono::seconds kPatience(20);

const char kUsername[] = "J\xC3\xBCrgen M\xC3\xBCller";
const char kPassword[] = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
constexpr std::uint32_t kProduct = 7;

// Data whose every byte depends on its position, so misplaced parts show.
std::string Pattern(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    }
    return data;
}

class LauncherEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteWholeFile(config_, std::string("username = ") + kUsername + "\r\npassword = " +
                                    kPassword + "\r\ncdkey = KEY-0001\r\nproducts = 7\r\n");
    }

    // Starts a launcher on this test's pipe and data directory and waits until it answers.
    std::unique_ptr<LauncherProcess> Start(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--data-dir", data_.string(), "--pipe",
                                         pipe_,        "--config",     config_.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        auto process = LauncherProcess::Start(args, log_);
        EXPECT_TRUE(process);
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (process && std::chrono::steady_clock::now() < deadline) {
            // Ready once it answers: a pipe that merely opens may be a dying launcher's.
            if (TryServed()) {
                return process;
            }
            if (process->WaitExit(std::chrono::milliseconds(50))) {
                break;
            }
        }
        ADD_FAILURE() << "the launcher did not come up; its log:\n" << ReadWholeFile(log_);
        return nullptr;
    }

    // A connection whose login request was answered, or null.
    std::unique_ptr<PipeEnd> TryServed() {
        pb::Rsp rsp;
        auto client = ConnectPipe(pipe_);
        if (client && SendRequest(*client, LoginRequest(1)) &&
            ReadAnswer(*client, &rsp, std::chrono::seconds(2))) {
            return client;
        }
        return nullptr;
    }

    std::unique_ptr<PipeEnd> Connect() {
        auto client = ConnectPipe(pipe_);
        EXPECT_TRUE(client) << "cannot connect; the launcher's log:\n" << ReadWholeFile(log_);
        return client;
    }

    // Sends `req` and returns its one answer (an empty answer on failure).
    pb::Rsp Ask(PipeEnd& client, const pb::Req& req) {
        pb::Rsp rsp;
        EXPECT_TRUE(SendRequest(client, req));
        EXPECT_TRUE(ReadAnswer(client, &rsp)) << "no answer to " << req.ShortDebugString();
        EXPECT_EQ(rsp.requestid(), req.requestid());
        return rsp;
    }

    // A whole write conversation; returns the stop-write answer's presence.
    void Save(PipeEnd& client, std::uint32_t slot, const std::string& data, const std::string& name,
              bool persist = true) {
        ASSERT_EQ(
            Ask(client, StartWriteRequest(100, kProduct, slot, true)).startwritesavegame().status(),
            pb::StartWriteSavegameRsp::Ok);
        for (std::size_t at = 0; at < data.size(); at += 40000) {
            const std::string chunk = data.substr(at, 40000);
            ASSERT_EQ(Ask(client, WriteRequest(101, kProduct, slot, chunk))
                          .writesavegame()
                          .byteswritten(),
                      chunk.size());
        }
        ASSERT_TRUE(
            Ask(client, StopWriteRequest(kProduct, slot, name, persist)).has_stopwritesavegame());
    }

    // A whole read conversation over the whole savegame, checking the parts' placement.
    std::string Load(PipeEnd& client, std::uint32_t slot) {
        if (Ask(client, StartReadRequest(200, kProduct, slot)).startreadsavegame().status() !=
            pb::StartReadSavegameRsp::Ok) {
            return "<not readable>";
        }
        EXPECT_TRUE(SendRequest(client, ReadRequest(201, kProduct, slot, 0, 0xFFFFFFFFu)));
        std::string data;
        for (pb::Rsp part; ReadAnswer(client, &part);) {
            EXPECT_EQ(part.requestid(), 201u);
            EXPECT_EQ(part.readsavegame().requestoffset(), data.size());
            data += part.readsavegame().data();
            if (part.readsavegame().islastpart()) {
                break;
            }
        }
        EXPECT_TRUE(SendRequest(client, StopReadRequest(kProduct, slot)));
        Ask(client, LoginRequest(202));  // stop-read has no answer; this shows it was handled
        return data;
    }

    TempDirectory dir_;
    const fs::path data_ = dir_.Path() / "data";
    const fs::path config_ = dir_.Path() / "launcher.conf";
    const fs::path log_ = dir_.Path() / "launcher.log";
    const std::string pipe_ = UniquePipeName("e2e");
};

TEST_F(LauncherEndToEndTest, EveryConversation) {
    auto launcher = Start({"--part-size", "1000"});
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);

    const pb::Rsp login = Ask(*client, LoginRequest(2));
    EXPECT_EQ(login.getlogindetails().username(), kUsername);
    EXPECT_EQ(login.getlogindetails().password(), kPassword);
    EXPECT_EQ(login.getlogindetails().cdkey(), "KEY-0001");

    const pb::Rsp osi = Ask(*client, ServerPipeRequest(3, kProduct));
    ASSERT_EQ(osi.getosi().status(), pb::GetOsiRsp::Ok);
    EXPECT_EQ(osi.getosi().pipename(), ServerPipeName(pipe_, kProduct));
    auto server = ConnectPipe(osi.getosi().pipename());
    ASSERT_TRUE(server);
    ASSERT_TRUE(Write(*server, "ping"));
    std::string echoed;
    ASSERT_TRUE(ReadExactly(*server, 4, &echoed, kPatience));
    EXPECT_EQ(echoed, "ping");
    EXPECT_EQ(Ask(*client, ServerPipeRequest(4, 8)).getosi().status(), pb::GetOsiRsp::Failed);

    EXPECT_EQ(Ask(*client, ListRequest(5, kProduct)).listsavegames().savegameinfos_size(), 0);
    const pb::Rsp stray = Ask(*client, WriteRequest(6, kProduct, 3, "no writer"));
    EXPECT_EQ(stray.writesavegame().status(), pb::WriteSavegameRsp::WriteFailed);
    EXPECT_EQ(stray.writesavegame().byteswritten(), 0u);

    const std::string data = Pattern(2500, 1);
    Save(*client, 3, data, "Slot three \xE2\x98\x85");
    const pb::Rsp list = Ask(*client, ListRequest(7, kProduct));
    ASSERT_EQ(list.listsavegames().savegameinfos_size(), 1);
    EXPECT_EQ(list.listsavegames().savegameinfos(0).name(), "Slot three \xE2\x98\x85");
    EXPECT_EQ(list.listsavegames().savegameinfos(0).size(), 2500u);

    // Reads come in parts of 1000 bytes counted from the requested offset.
    ASSERT_EQ(Ask(*client, StartReadRequest(8, kProduct, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    ASSERT_TRUE(SendRequest(*client, ReadRequest(9, kProduct, 3, 400, 5000)));
    std::vector<pb::Rsp> parts(3);
    for (pb::Rsp& part : parts) {
        ASSERT_TRUE(ReadAnswer(*client, &part));
    }
    EXPECT_EQ(parts[0].readsavegame().data(), data.substr(400, 1000));
    EXPECT_EQ(parts[1].readsavegame().requestoffset(), 1000u);
    EXPECT_EQ(parts[2].readsavegame().requestoffset(), 2000u);
    EXPECT_EQ(parts[2].readsavegame().data(), data.substr(2400));
    EXPECT_TRUE(parts[2].readsavegame().islastpart());
    EXPECT_FALSE(parts[1].readsavegame().islastpart());
    // Stop-read has no answer: the next thing on the pipe is the list's answer.
    ASSERT_TRUE(SendRequest(*client, StopReadRequest(kProduct, 3)));
    EXPECT_TRUE(Ask(*client, ListRequest(10, kProduct)).has_listsavegames());

    EXPECT_EQ(Ask(*client, RemoveRequest(11, kProduct, 3)).removesavegame().status(),
              pb::RemoveSavegameRsp::Ok);
    EXPECT_EQ(Ask(*client, RemoveRequest(12, kProduct, 3)).removesavegame().status(),
              pb::RemoveSavegameRsp::NotFound);
    EXPECT_EQ(Ask(*client, StartReadRequest(13, kProduct, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::NotFound);
}

TEST_F(LauncherEndToEndTest, LargeSavegameRoundTrip) {
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);
    const std::string data = Pattern(16u << 20, 9);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Ask(*client, StartWriteRequest(1, kProduct, 2, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
    for (std::size_t at = 0; at < data.size(); at += 1u << 20) {
        ASSERT_EQ(Ask(*client, WriteRequest(2, kProduct, 2, data.substr(at, 1u << 20)))
                      .writesavegame()
                      .byteswritten(),
                  1u << 20);
    }
    ASSERT_TRUE(Ask(*client, StopWriteRequest(kProduct, 2, "big", true)).has_stopwritesavegame());
    const auto written = std::chrono::steady_clock::now();
    EXPECT_TRUE(Load(*client, 2) == data);  // in parts of 64 KiB
    const auto read = std::chrono::steady_clock::now();
    auto ms = [](auto duration) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    };
    RecordProperty("write_16MiB_ms", static_cast<int>(ms(written - start)));
    RecordProperty("read_16MiB_ms", static_cast<int>(ms(read - written)));
}

TEST_F(LauncherEndToEndTest, ManyClientsAtOnce) {
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    constexpr int kClients = 6;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            auto client = ConnectPipe(pipe_);
            if (!client) {
                return;
            }
            const std::string data = Pattern(150 * 1000 + i, i);
            const auto slot = static_cast<std::uint32_t>(10 + i);
            pb::Req start = StartWriteRequest(1, kProduct, slot, true);
            pb::Rsp rsp;
            bool ok = SendRequest(*client, start) && ReadAnswer(*client, &rsp) &&
                      rsp.startwritesavegame().status() == pb::StartWriteSavegameRsp::Ok &&
                      SendRequest(*client, WriteRequest(2, kProduct, slot, data)) &&
                      ReadAnswer(*client, &rsp) &&
                      rsp.writesavegame().byteswritten() == data.size() &&
                      SendRequest(*client, StopWriteRequest(kProduct, slot, "c", true)) &&
                      ReadAnswer(*client, &rsp) && rsp.has_stopwritesavegame() &&
                      SendRequest(*client, StartReadRequest(3, kProduct, slot)) &&
                      ReadAnswer(*client, &rsp) &&
                      rsp.startreadsavegame().status() == pb::StartReadSavegameRsp::Ok &&
                      SendRequest(*client, ReadRequest(4, kProduct, slot, 0, 0xFFFFFFFFu));
            std::string back;
            while (ok && ReadAnswer(*client, &rsp)) {
                back += rsp.readsavegame().data();
                if (rsp.readsavegame().islastpart()) {
                    break;
                }
            }
            if (ok && back == data) {
                ++good;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(good.load(), kClients);
    auto client = Connect();
    ASSERT_TRUE(client);
    EXPECT_EQ(Ask(*client, ListRequest(9, kProduct)).listsavegames().savegameinfos_size(),
              kClients);
}

TEST_F(LauncherEndToEndTest, LocksBetweenClientsEndWithTheirHolder) {
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    auto a = Connect();
    auto b = Connect();
    auto c = Connect();
    ASSERT_TRUE(a && b && c);
    Save(*a, 3, "old data", "Old");

    // Readers share; a writer and a removal are refused while they read.
    ASSERT_EQ(Ask(*a, StartReadRequest(1, kProduct, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    ASSERT_EQ(Ask(*b, StartReadRequest(2, kProduct, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    EXPECT_EQ(Ask(*c, StartWriteRequest(3, kProduct, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::SlotLocked);
    EXPECT_EQ(Ask(*c, RemoveRequest(4, kProduct, 3)).removesavegame().status(),
              pb::RemoveSavegameRsp::Locked);
    // Stop-read has no answer; a round trip behind it shows it was handled.
    ASSERT_TRUE(SendRequest(*a, StopReadRequest(kProduct, 3)));
    ASSERT_TRUE(SendRequest(*b, StopReadRequest(kProduct, 3)));
    Ask(*a, LoginRequest(20));
    Ask(*b, LoginRequest(21));

    // A writer holds the slot alone; its lock and its unfinished data go with its connection.
    ASSERT_EQ(Ask(*c, StartWriteRequest(5, kProduct, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
    EXPECT_EQ(Ask(*c, WriteRequest(6, kProduct, 3, "new data")).writesavegame().byteswritten(), 8u);
    EXPECT_EQ(Ask(*a, StartReadRequest(7, kProduct, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::SlotLocked);
    EXPECT_EQ(Ask(*b, StartWriteRequest(8, kProduct, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::SlotLocked);
    EXPECT_EQ(Ask(*b, WriteRequest(9, kProduct, 3, "intruder")).writesavegame().byteswritten(), 0u);
    c.reset();
    // The launcher notices the disconnect on its own thread; give it a moment.
    pb::StartReadSavegameRsp::Status status = pb::StartReadSavegameRsp::SlotLocked;
    for (int i = 0; i < 200 && status == pb::StartReadSavegameRsp::SlotLocked; ++i) {
        status = Ask(*a, StartReadRequest(10, kProduct, 3)).startreadsavegame().status();
        if (status == pb::StartReadSavegameRsp::SlotLocked) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    ASSERT_EQ(status, pb::StartReadSavegameRsp::Ok);
    ASSERT_TRUE(SendRequest(*a, StopReadRequest(kProduct, 3)));
    EXPECT_EQ(Load(*a, 3), "old data");  // Load's round trip covers this stop-read too
    EXPECT_EQ(Ask(*b, StartWriteRequest(11, kProduct, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
}

TEST_F(LauncherEndToEndTest, SavegamesSurviveARestartAndPersistFalseLeavesNothing) {
    const std::string data = Pattern(200 * 1000, 5);
    {
        auto launcher = Start();
        ASSERT_TRUE(launcher);
        auto client = Connect();
        ASSERT_TRUE(client);
        Save(*client, 1, data, "Kept");
        Save(*client, 2, "dropped", "Dropped", false);
        launcher->Stop();
        EXPECT_EQ(launcher->WaitExit(kPatience), std::optional<int>(kStoppedExitCode));
    }
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);
    const pb::Rsp list = Ask(*client, ListRequest(1, kProduct));
    ASSERT_EQ(list.listsavegames().savegameinfos_size(), 1);
    EXPECT_EQ(list.listsavegames().savegameinfos(0).name(), "Kept");
    EXPECT_EQ(Load(*client, 1), data);
    EXPECT_EQ(Ask(*client, StartReadRequest(2, kProduct, 2)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::NotFound);
}

TEST_F(LauncherEndToEndTest, KilledDuringAWriteKeepsThePreviousSavegame) {
    const std::string before = Pattern(100 * 1000, 1);
    {
        auto launcher = Start();
        ASSERT_TRUE(launcher);
        auto client = Connect();
        ASSERT_TRUE(client);
        Save(*client, 4, before, "Before");
        ASSERT_EQ(
            Ask(*client, StartWriteRequest(1, kProduct, 4, true)).startwritesavegame().status(),
            pb::StartWriteSavegameRsp::Ok);
        Ask(*client, WriteRequest(2, kProduct, 4, Pattern(50 * 1000, 2)));
        launcher->Kill();
        ASSERT_TRUE(launcher->WaitExit(kPatience));
    }
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);
    const pb::Rsp list = Ask(*client, ListRequest(1, kProduct));
    ASSERT_EQ(list.listsavegames().savegameinfos_size(), 1);
    EXPECT_EQ(list.listsavegames().savegameinfos(0).name(), "Before");
    EXPECT_EQ(Load(*client, 4), before);
    for (const auto& file : fs::directory_iterator(data_ / std::to_string(kProduct))) {
        EXPECT_NE(file.path().extension(), ".tmp") << "leftover " << file.path();
    }
}

TEST_F(LauncherEndToEndTest, ASecondLauncherOnTheSamePipeExitsWithThree) {
    auto first = Start();
    ASSERT_TRUE(first);
    auto client = Connect();
    ASSERT_TRUE(client);
    ASSERT_EQ(Ask(*client, StartWriteRequest(1, kProduct, 2, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
    ASSERT_EQ(Ask(*client, WriteRequest(2, kProduct, 2, "pending")).writesavegame().byteswritten(),
              7u);
    auto second = LauncherProcess::Start({"--data-dir", data_.string(), "--pipe", pipe_},
                                         dir_.Path() / "second.log");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->WaitExit(kPatience), std::optional<int>(3));
    EXPECT_NE(ReadWholeFile(dir_.Path() / "second.log").find("already served"), std::string::npos);
    // The first one is unharmed, its pending write included.
    ASSERT_TRUE(Ask(*client, StopWriteRequest(kProduct, 2, "kept", true)).has_stopwritesavegame());
    EXPECT_EQ(Load(*client, 2), "pending");
}

TEST_F(LauncherEndToEndTest, ConnectionsAboveTheLimitAreClosedWhileTheOthersAreServed) {
    auto launcher = Start({"--max-connections", "2"});
    ASSERT_TRUE(launcher);
    // Retried: the launcher may still count the start-up probe for a moment.
    auto served = [this] {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        std::unique_ptr<PipeEnd> client;
        while (!(client = TryServed()) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return client;
    };
    auto first = served();
    auto second = served();
    ASSERT_TRUE(first && second);
    auto third = Connect();
    ASSERT_TRUE(third);
    EXPECT_TRUE(third->ReadToEnd(kPatience) >= 0);
    EXPECT_NE(ReadWholeFile(log_).find("refused a connection"), std::string::npos);
    first.reset();
    EXPECT_TRUE(served()) << "the closed connection's place stayed taken";
    EXPECT_TRUE(Ask(*second, LoginRequest(3)).has_getlogindetails());
}

TEST_F(LauncherEndToEndTest, BrokenClientFramesCloseOnlyThatConnection) {
    auto launcher = Start();
    ASSERT_TRUE(launcher);
    auto bystander = Connect();
    ASSERT_TRUE(bystander);
    ASSERT_EQ(
        Ask(*bystander, StartWriteRequest(1, kProduct, 5, true)).startwritesavegame().status(),
        pb::StartWriteSavegameRsp::Ok);
    const std::string broken[] = {
        std::string(4, '\0'),                // zero length
        std::string("\x04\x00\x00\x01", 4),  // above 64 MiB
        Frame(std::string(12, '\xFF')),      // not a message
        Frame(std::string("\x08\x01", 2)),   // a Req with no slot is ignored, not fatal
    };
    for (std::size_t i = 0; i < 3; ++i) {
        auto client = Connect();
        ASSERT_TRUE(client);
        ASSERT_TRUE(Write(*client, broken[i]));
        EXPECT_TRUE(client->ReadToEnd(kPatience) >= 0) << "frame " << i;
    }
    auto client = Connect();
    ASSERT_TRUE(client);
    ASSERT_TRUE(Write(*client, broken[3]));
    EXPECT_TRUE(Ask(*client, LoginRequest(2)).has_getlogindetails());
    EXPECT_EQ(Ask(*bystander, WriteRequest(3, kProduct, 5, "abc")).writesavegame().byteswritten(),
              3u);
}

TEST_F(LauncherEndToEndTest, VerboseModeLogsEveryRequestAndAnswer) {
    auto launcher = Start({"-v"});
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);
    Ask(*client, LoginRequest(41));
    ASSERT_TRUE(SendRequest(*client, StopReadRequest(kProduct, 1)));  // not answered
    Ask(*client, ListRequest(42, kProduct));
    client.reset();
    launcher->Stop();
    EXPECT_EQ(launcher->WaitExit(kPatience), std::optional<int>(kStoppedExitCode));
    const std::string log = ReadWholeFile(log_);
    auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = log.find(what, at)) != std::string::npos;
             at += what.size()) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("<- #41 getLoginDetails"), 1u) << log;
    EXPECT_EQ(count("-> #41 getLoginDetails username="), 1u) << log;
    EXPECT_EQ(count("<- #1 stopReadSavegame product=7 slot=1"), 1u) << log;
    EXPECT_EQ(count("<- #42 listSavegames product=7"), 1u) << log;
    EXPECT_EQ(count("-> #42 listSavegames count=0"), 1u) << log;
    EXPECT_EQ(log.find(kPassword), std::string::npos);
}

// The fault switches, each on a launcher of its own.
TEST_F(LauncherEndToEndTest, FaultByteWritesAndDelay) {
    auto launcher = Start({"--fault-byte-writes", "--fault-delay-ms", "300"});
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);
    const auto start = std::chrono::steady_clock::now();
    const pb::Rsp login = Ask(*client, LoginRequest(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(login.getlogindetails().username(), kUsername);
}

TEST_F(LauncherEndToEndTest, FaultCloseAfterAnswers) {
    auto launcher = Start({"--fault-close-after", "2"});
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);
    ASSERT_TRUE(SendRequest(*client, LoginRequest(1)));
    ASSERT_TRUE(SendRequest(*client, LoginRequest(2)));
    // The launcher may already have answered twice and closed when the third request goes out.
    SendRequest(*client, LoginRequest(3));
    pb::Rsp rsp;
    ASSERT_TRUE(ReadAnswer(*client, &rsp));
    ASSERT_TRUE(ReadAnswer(*client, &rsp));
    EXPECT_EQ(rsp.requestid(), 2u);
    EXPECT_TRUE(client->ReadToEnd(kPatience) >= 0);
}

TEST_F(LauncherEndToEndTest, FaultMalformedAnswers) {
    struct Case {
        const char* kind;
        std::function<void(PipeEnd&)> check;
    };
    const Case cases[] = {
        {"zero-length",
         [](PipeEnd& client) {
             std::string header;
             ASSERT_TRUE(ReadExactly(client, 4, &header, kPatience));
             EXPECT_EQ(header, std::string(4, '\0'));
         }},
        {"garbage",
         [](PipeEnd& client) {
             std::string body;
             ASSERT_TRUE(ReadBody(client, &body));
             EXPECT_FALSE(pb::Rsp().ParseFromString(body));
         }},
        {"no-slot",
         [](PipeEnd& client) {
             pb::Rsp rsp;
             ASSERT_TRUE(ReadAnswer(client, &rsp));
             EXPECT_EQ(rsp.requestid(), 2u);
             EXPECT_FALSE(rsp.has_getlogindetails());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        auto launcher = Start({"--fault-malformed", c.kind, "--fault-after", "1"});
        ASSERT_TRUE(launcher);
        auto client = Connect();
        ASSERT_TRUE(client);
        EXPECT_TRUE(Ask(*client, LoginRequest(1)).has_getlogindetails());  // let through
        ASSERT_TRUE(SendRequest(*client, LoginRequest(2)));
        c.check(*client);
        client.reset();
        launcher.reset();
    }
}

TEST_F(LauncherEndToEndTest, FaultReadPartsOutsideTheRange) {
    {
        auto launcher = Start();
        ASSERT_TRUE(launcher);
        auto client = Connect();
        ASSERT_TRUE(client);
        Save(*client, 1, Pattern(3000, 3), "n");
    }
    auto launcher = Start({"--fault-malformed", "read-outside", "--part-size", "1000"});
    ASSERT_TRUE(launcher);
    auto client = Connect();
    ASSERT_TRUE(client);
    ASSERT_EQ(Ask(*client, StartReadRequest(1, kProduct, 1)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    ASSERT_TRUE(SendRequest(*client, ReadRequest(2, kProduct, 1, 0, 1500)));
    pb::Rsp first;
    pb::Rsp second;
    ASSERT_TRUE(ReadAnswer(*client, &first));
    ASSERT_TRUE(ReadAnswer(*client, &second));
    EXPECT_EQ(first.readsavegame().requestoffset(), 1500u);
    EXPECT_EQ(second.readsavegame().requestoffset(), 2500u);
    EXPECT_TRUE(second.readsavegame().islastpart());
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
