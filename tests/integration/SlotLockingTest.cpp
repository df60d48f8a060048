// Slot locks between two games: this process, and the sample game program as a second process
// with a library and a launcher connection of its own.
#include "kx/halyxclient/ExitCodes.h"
#include "kx/testing/LauncherGameFixture.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace testing {
namespace {

using kx::halyxclient::kExitLocked;
using kx::halyxclient::kExitOk;

constexpr unsigned int kSlot = 5;

class SlotLockingTest : public LauncherGameFixture {
protected:
    // The other game reads the slot into `fetched_`.
    int OtherGets() {
        return RunClient(
            {"get", std::to_string(kProduct), std::to_string(kSlot), fetched_.string()});
    }
    // The other game stores `data` in the slot.
    int OtherPuts(const std::string& data) {
        WriteWholeFile(stored_, data);
        return RunClient({"put", std::to_string(kProduct), std::to_string(kSlot), stored_.string(),
                          "--name", "Kapitel \xE2\x80\x93 2 \xE2\x9C\x93"});
    }
    // A round trip on this game's connection: the launcher has handled everything this game
    // sent before (one connection's requests are handled in order, and a list waits for the
    // answers to earlier writers' Close).
    void Settle() { List(); }

    const std::filesystem::path fetched_ = dir_.Path() / "fetched.bin";
    const std::filesystem::path stored_ = dir_.Path() / "stored.bin";
};

TEST_F(SlotLockingTest, AWriterKeepsOthersOffAndReadersShare) {
    ASSERT_TRUE(StartLauncher());
    ASSERT_TRUE(Connect());
    Save(kSlot, Pattern(3000, 1), u"first");

    unsigned int result = kNoAnswer;
    SavegameWriter* writer = OpenWriter(kSlot, true, &result);
    ASSERT_NE(writer, nullptr) << "result " << result;
    EXPECT_EQ(OtherGets(), kExitLocked);
    EXPECT_EQ(OtherPuts(Pattern(2000, 2)), kExitLocked);
    const std::string mine = Pattern(2500, 3);
    const bool written = WriteInPieces(writer, mine, 2);
    writer->Close(true);
    ASSERT_TRUE(written);
    Settle();
    ASSERT_EQ(OtherGets(), kExitOk);
    EXPECT_TRUE(ReadWholeFile(fetched_) == mine) << "the other game reads what this one wrote";

    const std::string theirs = Pattern(2000, 4);
    ASSERT_EQ(OtherPuts(theirs), kExitOk);
    const std::vector<ListedSavegame> listed = List();
    ASSERT_EQ(listed.size(), 1u);
    // The name given on the other game's command line arrives whole, also on Windows.
    EXPECT_TRUE(listed[0].name == u"Kapitel \u2013 2 \u2713");
    SavegameReader* reader = OpenReader(kSlot, &result);
    ASSERT_NE(reader, nullptr) << "result " << result;
    EXPECT_EQ(OtherPuts(Pattern(1000, 5)), kExitLocked);
    ASSERT_EQ(OtherGets(), kExitOk);
    EXPECT_TRUE(ReadWholeFile(fetched_) == theirs);
    reader->Close();
    Settle();
    EXPECT_EQ(OtherPuts(Pattern(1000, 5)), kExitOk);
    EXPECT_TRUE(Load(kSlot, 1000) == Pattern(1000, 5));
}

}  // namespace
}  // namespace testing
}  // namespace kx
