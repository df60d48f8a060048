#include "kx/devlauncher/ClientSession.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "RequestBuilders.h"
#include "kx/testing/TempDirectory.h"

namespace kx {
namespace devlauncher {
namespace {

using namespace testing;  // request builders
using kx::testing::TempDirectory;

// Keeps every answer; refuses answers once `capacity` have been taken.
class RecordingSink : public AnswerSink {
public:
    bool Send(const pb::Rsp& rsp) override {
        if (answers.size() >= capacity) {
            return false;
        }
        answers.push_back(rsp);
        return true;
    }

    std::vector<pb::Rsp> answers;
    std::size_t capacity = static_cast<std::size_t>(-1);
};

class ClientSessionTest : public ::testing::Test {
protected:
    ClientSessionTest() {
        config_.username = "J\xC3\xBCrgen";
        config_.password = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
        config_.cdkey = "ABCD-1234";
        std::string error;
        EXPECT_TRUE(store_.Prepare(&error));
    }

    std::vector<pb::Rsp> Ask(ClientSession& session, const pb::Req& req) {
        RecordingSink sink;
        EXPECT_TRUE(session.Handle(req, sink));
        return sink.answers;
    }

    // Asks a request that has exactly one answer and returns it.
    pb::Rsp AskOne(ClientSession& session, const pb::Req& req) {
        std::vector<pb::Rsp> answers = Ask(session, req);
        EXPECT_EQ(answers.size(), 1u) << req.ShortDebugString();
        EXPECT_EQ(answers.empty() ? 0 : answers[0].requestid(), req.requestid());
        return answers.empty() ? pb::Rsp() : answers[0];
    }

    // Stores a savegame through a full write conversation of `session`.
    void Save(ClientSession& session, std::uint32_t slot, const std::string& data,
              const std::string& name) {
        ASSERT_EQ(
            AskOne(session, StartWriteRequest(10, 7, slot, true)).startwritesavegame().status(),
            pb::StartWriteSavegameRsp::Ok);
        ASSERT_EQ(AskOne(session, WriteRequest(11, 7, slot, data)).writesavegame().byteswritten(),
                  data.size());
        ASSERT_TRUE(AskOne(session, StopWriteRequest(7, slot, name, true)).has_stopwritesavegame());
    }

    // The savegame's data, read through a full read conversation of `session`.
    std::string Load(ClientSession& session, std::uint32_t slot) {
        EXPECT_EQ(AskOne(session, StartReadRequest(20, 7, slot)).startreadsavegame().status(),
                  pb::StartReadSavegameRsp::Ok);
        std::string data;
        for (const pb::Rsp& part : Ask(session, ReadRequest(21, 7, slot, 0, 0xFFFFFFFFu))) {
            data += part.readsavegame().data();
        }
        EXPECT_TRUE(Ask(session, StopReadRequest(7, slot)).empty());
        return data;
    }

    TempDirectory dir_;
    SavegameStore store_{dir_.Path(), "pipe"};
    SlotLocks locks_;
    LauncherConfig config_;
    std::ostringstream logText_;
    EventLog log_{logText_, true};
    SessionServices services_{store_, locks_, config_, {{7, "pipe_osi_7"}}, 1000, log_};
    ClientSession a_{1, services_};
    ClientSession b_{2, services_};
};

TEST_F(ClientSessionTest, LoginDetailsComeFromTheConfiguration) {
    const pb::Rsp rsp = AskOne(a_, LoginRequest(5));
    ASSERT_TRUE(rsp.has_getlogindetails());
    EXPECT_EQ(rsp.getlogindetails().username(), config_.username);
    EXPECT_EQ(rsp.getlogindetails().password(), config_.password);
    EXPECT_EQ(rsp.getlogindetails().cdkey(), "ABCD-1234");
}

TEST_F(ClientSessionTest, ServerPipeForConfiguredProductsOnly) {
    const pb::Rsp known = AskOne(a_, ServerPipeRequest(5, 7));
    EXPECT_EQ(known.getosi().status(), pb::GetOsiRsp::Ok);
    EXPECT_EQ(known.getosi().pipename(), "pipe_osi_7");
    const pb::Rsp unknown = AskOne(a_, ServerPipeRequest(6, 8));
    EXPECT_EQ(unknown.getosi().status(), pb::GetOsiRsp::Failed);
    EXPECT_FALSE(unknown.getosi().has_pipename());
}

TEST_F(ClientSessionTest, WriteListReadRemove) {
    const std::string data(2500, 'q');
    Save(a_, 3, data, "First save");
    const pb::Rsp list = AskOne(a_, ListRequest(30, 7));
    ASSERT_EQ(list.listsavegames().savegameinfos_size(), 1);
    EXPECT_EQ(list.listsavegames().savegameinfos(0).name(), "First save");
    EXPECT_EQ(list.listsavegames().savegameinfos(0).slotid(), 3u);
    EXPECT_EQ(list.listsavegames().savegameinfos(0).size(), 2500u);
    EXPECT_EQ(Load(b_, 3), data);
    EXPECT_EQ(AskOne(a_, RemoveRequest(31, 7, 3)).removesavegame().status(),
              pb::RemoveSavegameRsp::Ok);
    EXPECT_EQ(AskOne(a_, RemoveRequest(32, 7, 3)).removesavegame().status(),
              pb::RemoveSavegameRsp::NotFound);
    EXPECT_EQ(AskOne(a_, ListRequest(33, 7)).listsavegames().savegameinfos_size(), 0);
}

TEST_F(ClientSessionTest, ReadsComeInPartsOfTheConfiguredSize) {
    std::string data;
    for (int i = 0; i < 2600; ++i) {
        data += static_cast<char>('a' + i % 26);
    }
    Save(a_, 3, data, "n");
    ASSERT_EQ(AskOne(a_, StartReadRequest(40, 7, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    const std::vector<pb::Rsp> parts = Ask(a_, ReadRequest(41, 7, 3, 100, 2200));
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].readsavegame().requestoffset(), 0u);
    EXPECT_EQ(parts[1].readsavegame().requestoffset(), 1000u);
    EXPECT_EQ(parts[2].readsavegame().requestoffset(), 2000u);
    EXPECT_EQ(parts[2].readsavegame().data(), data.substr(2100, 200));
    EXPECT_FALSE(parts[1].readsavegame().islastpart());
    EXPECT_TRUE(parts[2].readsavegame().islastpart());
    for (const pb::Rsp& part : parts) {
        EXPECT_EQ(part.requestid(), 41u);
    }
    // Past the end: what exists, then an empty last part.
    const std::vector<pb::Rsp> tail = Ask(a_, ReadRequest(42, 7, 3, 2500, 1000));
    ASSERT_EQ(tail.size(), 1u);
    EXPECT_EQ(tail[0].readsavegame().data(), data.substr(2500));
    const std::vector<pb::Rsp> beyond = Ask(a_, ReadRequest(43, 7, 3, 9000, 10));
    ASSERT_EQ(beyond.size(), 1u);
    EXPECT_TRUE(beyond[0].readsavegame().data().empty());
    EXPECT_TRUE(beyond[0].readsavegame().islastpart());
}

TEST_F(ClientSessionTest, ReadWithoutAnOpenReaderEndsWithNoData) {
    Save(a_, 3, "secret", "n");
    const std::vector<pb::Rsp> parts = Ask(b_, ReadRequest(50, 7, 3, 0, 100));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_TRUE(parts[0].readsavegame().data().empty());
    EXPECT_TRUE(parts[0].readsavegame().islastpart());
}

TEST_F(ClientSessionTest, StartReadStatuses) {
    const pb::Rsp missing = AskOne(a_, StartReadRequest(60, 7, 3));
    EXPECT_EQ(missing.startreadsavegame().status(), pb::StartReadSavegameRsp::NotFound);
    EXPECT_EQ(missing.startreadsavegame().productid(), 7u);
    EXPECT_EQ(missing.startreadsavegame().slotid(), 3u);
    EXPECT_EQ(AskOne(a_, StartReadRequest(61, 7, 0)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Failed);
    Save(a_, 3, "x", "n");
    ASSERT_EQ(AskOne(a_, StartWriteRequest(62, 7, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
    EXPECT_EQ(AskOne(b_, StartReadRequest(63, 7, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::SlotLocked);
}

TEST_F(ClientSessionTest, StartWriteStatuses) {
    Save(a_, 3, "x", "n");
    const pb::Rsp refused = AskOne(a_, StartWriteRequest(70, 7, 3, false));
    EXPECT_EQ(refused.startwritesavegame().status(),
              pb::StartWriteSavegameRsp::OverWriteNotAllowed);
    EXPECT_EQ(refused.startwritesavegame().slotid(), 3u);
    EXPECT_EQ(AskOne(a_, StartWriteRequest(71, 7, 0, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Failed);
    // The refused opens left no lock behind.
    ASSERT_EQ(AskOne(a_, StartReadRequest(72, 7, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    EXPECT_EQ(AskOne(b_, StartWriteRequest(73, 7, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::SlotLocked);
    EXPECT_EQ(AskOne(b_, StartWriteRequest(74, 7, 4, false)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
}

TEST_F(ClientSessionTest, ReadersShareAndBlockRemove) {
    Save(a_, 3, "x", "n");
    ASSERT_EQ(AskOne(a_, StartReadRequest(80, 7, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    ASSERT_EQ(AskOne(b_, StartReadRequest(81, 7, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    EXPECT_EQ(AskOne(b_, RemoveRequest(82, 7, 3)).removesavegame().status(),
              pb::RemoveSavegameRsp::Locked);
    Ask(a_, StopReadRequest(7, 3));
    Ask(b_, StopReadRequest(7, 3));
    EXPECT_EQ(AskOne(b_, RemoveRequest(83, 7, 3)).removesavegame().status(),
              pb::RemoveSavegameRsp::Ok);
    EXPECT_EQ(AskOne(b_, RemoveRequest(84, 7, 0)).removesavegame().status(),
              pb::RemoveSavegameRsp::Failed);
}

TEST_F(ClientSessionTest, WritesWithoutAWriterFail) {
    const pb::Rsp rsp = AskOne(a_, WriteRequest(90, 7, 3, "data"));
    EXPECT_EQ(rsp.writesavegame().status(), pb::WriteSavegameRsp::WriteFailed);
    EXPECT_EQ(rsp.writesavegame().byteswritten(), 0u);
    // Another client's writer does not count.
    ASSERT_EQ(AskOne(b_, StartWriteRequest(91, 7, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
    EXPECT_EQ(AskOne(a_, WriteRequest(92, 7, 3, "data")).writesavegame().byteswritten(), 0u);
}

TEST_F(ClientSessionTest, PersistFalseAndStrayStopWritesLeaveNothing) {
    Save(a_, 3, "old", "Old");
    ASSERT_EQ(AskOne(a_, StartWriteRequest(100, 7, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
    AskOne(a_, WriteRequest(101, 7, 3, "new"));
    EXPECT_TRUE(AskOne(a_, StopWriteRequest(7, 3, "New", false)).has_stopwritesavegame());
    EXPECT_EQ(Load(a_, 3), "old");
    EXPECT_EQ(AskOne(a_, ListRequest(102, 7)).listsavegames().savegameinfos(0).name(), "Old");
    // A stop-write with no writer is still answered exactly once.
    EXPECT_TRUE(AskOne(b_, StopWriteRequest(7, 9, "x", true)).has_stopwritesavegame());
    EXPECT_EQ(AskOne(a_, ListRequest(103, 7)).listsavegames().savegameinfos_size(), 1);
}

TEST_F(ClientSessionTest, EndOfSessionDiscardsWritesAndReleasesLocks) {
    Save(a_, 3, "old", "Old");
    {
        ClientSession leaving(9, services_);
        ASSERT_EQ(AskOne(leaving, StartWriteRequest(110, 7, 3, true)).startwritesavegame().status(),
                  pb::StartWriteSavegameRsp::Ok);
        AskOne(leaving, WriteRequest(111, 7, 3, "half"));
        ASSERT_EQ(AskOne(leaving, StartReadRequest(112, 7, 5)).startreadsavegame().status(),
                  pb::StartReadSavegameRsp::NotFound);
        EXPECT_EQ(AskOne(a_, StartReadRequest(113, 7, 3)).startreadsavegame().status(),
                  pb::StartReadSavegameRsp::SlotLocked);
    }
    EXPECT_EQ(Load(a_, 3), "old");
    EXPECT_EQ(AskOne(b_, StartWriteRequest(114, 7, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
}

TEST_F(ClientSessionTest, WritersAboveTheLimitAndOverlongNamesAreRefused) {
    services_.maxWriters = 2;
    for (std::uint32_t slot : {1, 2}) {
        ASSERT_EQ(AskOne(a_, StartWriteRequest(140, 7, slot, true)).startwritesavegame().status(),
                  pb::StartWriteSavegameRsp::Ok);
    }
    EXPECT_EQ(AskOne(a_, StartWriteRequest(141, 7, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Failed);
    EXPECT_NE(logText_.str().find("open writers"), std::string::npos) << logText_.str();
    EXPECT_EQ(AskOne(b_, StartWriteRequest(142, 7, 3, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);

    // Each character above U+FFFF takes two UTF-16 units: 127 of them and one more make 255.
    std::string longest;
    for (int i = 0; i < 127; ++i) {
        longest += "\xF0\x9F\x98\x80";
    }
    EXPECT_TRUE(AskOne(a_, StopWriteRequest(7, 1, longest + "a", true)).has_stopwritesavegame());
    EXPECT_TRUE(AskOne(a_, StopWriteRequest(7, 2, longest + "\xF0\x9F\x98\x80", true))
                    .has_stopwritesavegame());
    EXPECT_NE(logText_.str().find("refused to store"), std::string::npos) << logText_.str();
    const pb::Rsp list = AskOne(a_, ListRequest(143, 7));
    ASSERT_EQ(list.listsavegames().savegameinfos_size(), 1);
    EXPECT_EQ(list.listsavegames().savegameinfos(0).slotid(), 1u);
    // The refused stop-write still closed its writer.
    EXPECT_EQ(AskOne(a_, StartWriteRequest(144, 7, 4, true)).startwritesavegame().status(),
              pb::StartWriteSavegameRsp::Ok);
}

TEST_F(ClientSessionTest, RequestWithoutASlotIsNotAnswered) {
    pb::Req req;
    req.set_requestid(120);
    EXPECT_TRUE(Ask(a_, req).empty());
    EXPECT_NE(logText_.str().find("has no slot"), std::string::npos);
}

TEST_F(ClientSessionTest, AReadStopsWhenTheSinkRefuses) {
    Save(a_, 3, std::string(5000, 'z'), "n");
    ASSERT_EQ(AskOne(a_, StartReadRequest(130, 7, 3)).startreadsavegame().status(),
              pb::StartReadSavegameRsp::Ok);
    RecordingSink sink;
    sink.capacity = 2;
    EXPECT_FALSE(a_.Handle(ReadRequest(131, 7, 3, 0, 5000), sink));
    EXPECT_EQ(sink.answers.size(), 2u);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
