#pragma once

#include <gtest/gtest.h>

#include "FakeLauncher.h"
#include "WireAnswers.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "kx/testing/LogCapture.h"
#include "kx/testing/RecordingListeners.h"

namespace kx {
namespace testing {

// A session in this process beside a fake launcher that serves the launcher's pipe.
class SessionTest : public ::testing::Test {
protected:
    SessionTest() { LogCapture::Get().Clear(); }

    HalyxSessionData& State() { return *HalyxSessionData::Current(); }

    // Opens the launcher connection the only way a game can (GetHalyxServer, no listener) and
    // takes that request off the launcher.
    void Connect() {
        session_.GetHalyxServer(kConnectRequestId, nullptr, 1, 0);
        wire::Req request;
        ASSERT_TRUE(launcher_.NextRequest(&request));
        ASSERT_TRUE(request.has_getosi());
    }

    // The next request the launcher received; a failure when none comes.
    wire::Req NextRequest(std::string* frame = nullptr) {
        wire::Req request;
        EXPECT_TRUE(launcher_.NextRequest(&request, frame)) << "no request reached the launcher";
        return request;
    }

    bool Pump(const std::function<bool()>& done) { return PumpUntil(&session_, done); }

    // Waits, without calling Update, until the session's connection reports that it closed.
    bool WaitConnectionClosed() {
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(FakeLauncher::kWaitMilliseconds);
        while (std::chrono::steady_clock::now() < deadline) {
            kx::clientbox::PBConnection* connection = State().GetConnection();
            if (connection != nullptr && connection->IsClosed()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    // Opens a savegame through the launcher, which grants it; null on failure.
    SavegameReader* OpenReader(unsigned int product, unsigned int slot) {
        ReaderListener reader;
        const unsigned int id = ++openRequestId_;
        session_.GetSavegameReader(id, &reader, product, slot);
        NextRequest();
        launcher_.Send(OpenReadAnswer(id, product, slot, wire::StartReadSavegameRsp::Ok));
        EXPECT_TRUE(Pump([&] { return !reader.calls.empty(); }));
        return reader.calls.empty() ? nullptr : reader.calls[0].reader;
    }
    SavegameWriter* OpenWriter(unsigned int product, unsigned int slot) {
        WriterListener writer;
        const unsigned int id = ++openRequestId_;
        session_.GetSavegameWriter(id, &writer, product, slot, true);
        NextRequest();
        launcher_.Send(OpenWriteAnswer(id, product, slot, wire::StartWriteSavegameRsp::Ok));
        EXPECT_TRUE(Pump([&] { return !writer.calls.empty(); }));
        return writer.calls.empty() ? nullptr : writer.calls[0].writer;
    }

    static constexpr unsigned int kConnectRequestId = 9999;
    unsigned int openRequestId_ = 5000;

    FakeLauncher launcher_;
    HalyxSession session_;
};

}  // namespace testing
}  // namespace kx
