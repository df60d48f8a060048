#include "kx/devlauncher/SavegameStore.h"

#include <gtest/gtest.h>

#include "kx/testing/TempDirectory.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace devlauncher {
namespace {

namespace fs = std::filesystem;
using kx::testing::ReadWholeFile;
using kx::testing::TempDirectory;
using kx::testing::WriteWholeFile;

class SavegameStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(store_.Prepare(&error)) << error;
    }

    // Writes and commits a savegame.
    void Store(std::uint32_t product, std::uint32_t slot, const std::string& data,
               const std::string& name) {
        auto pending = store_.BeginWrite(product, slot);
        ASSERT_TRUE(pending);
        ASSERT_EQ(pending->Append(data), data.size());
        ASSERT_TRUE(pending->Commit(name));
    }

    // The savegame's data, read through Open.
    std::string Load(std::uint32_t product, std::uint32_t slot) {
        auto savegame = store_.Open(product, slot);
        if (!savegame) {
            return "<none>";
        }
        std::string data(savegame->Size(), '\0');
        EXPECT_TRUE(savegame->ReadAt(0, data.size(), &data[0]));
        return data;
    }

    std::size_t FilesIn(std::uint32_t product) {
        std::size_t count = 0;
        for (const auto& entry :
             fs::directory_iterator(dir_.Path() / "data" / std::to_string(product))) {
            (void)entry;
            ++count;
        }
        return count;
    }

    TempDirectory dir_;
    SavegameStore store_{dir_.Path() / "data", "pipe_a"};
};

TEST_F(SavegameStoreTest, CommitStoresDataAndNameTogether) {
    Store(7, 3, "hello world", "Chapter 1");
    EXPECT_EQ(Load(7, 3), "hello world");
    const auto list = store_.List(7);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].slotId, 3u);
    EXPECT_EQ(list[0].name, "Chapter 1");
    EXPECT_EQ(list[0].size, 11u);
    EXPECT_EQ(FilesIn(7), 1u);  // no temporary file left behind
}

TEST_F(SavegameStoreTest, NothingIsVisibleBeforeCommit) {
    Store(7, 3, "old", "Old");
    auto pending = store_.BeginWrite(7, 3);
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->Append("new data"), 8u);
    EXPECT_EQ(Load(7, 3), "old");
    EXPECT_EQ(store_.List(7)[0].name, "Old");
    ASSERT_TRUE(pending->Commit("New"));
    EXPECT_EQ(Load(7, 3), "new data");
    EXPECT_EQ(store_.List(7)[0].name, "New");
}

TEST_F(SavegameStoreTest, DroppingAPendingSavegameDiscardsIt) {
    Store(7, 3, "old", "Old");
    {
        auto pending = store_.BeginWrite(7, 3);
        ASSERT_TRUE(pending);
        pending->Append("never committed");
    }
    EXPECT_EQ(Load(7, 3), "old");
    EXPECT_EQ(FilesIn(7), 1u);
    {
        auto pending = store_.BeginWrite(7, 4);
        pending->Append("new slot");
    }
    EXPECT_EQ(Load(7, 4), "<none>");
    EXPECT_EQ(store_.List(7).size(), 1u);
}

TEST_F(SavegameStoreTest, EmptySavegameAndNonAsciiName) {
    const std::string name = "\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96 \xC3\xA9t\xC3\xA9";
    Store(1, 9, "", name);
    const auto list = store_.List(1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, name);
    EXPECT_EQ(list[0].size, 0u);
    EXPECT_EQ(Load(1, 9), "");
}

TEST_F(SavegameStoreTest, ReadAtReadsRanges) {
    Store(1, 1, "0123456789", "n");
    auto savegame = store_.Open(1, 1);
    ASSERT_TRUE(savegame);
    char out[4] = {};
    ASSERT_TRUE(savegame->ReadAt(6, 4, out));
    EXPECT_EQ(std::string(out, 4), "6789");
    ASSERT_TRUE(savegame->ReadAt(0, 2, out));
    EXPECT_EQ(std::string(out, 2), "01");
}

TEST_F(SavegameStoreTest, ListIsPerProductAndSortedBySlot) {
    Store(5, 20, "b", "twenty");
    Store(5, 3, "a", "three");
    Store(6, 1, "c", "other product");
    const auto list = store_.List(5);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].slotId, 3u);
    EXPECT_EQ(list[1].slotId, 20u);
    EXPECT_TRUE(store_.List(99).empty());
}

TEST_F(SavegameStoreTest, TornAndForeignFilesAreNotSavegames) {
    Store(5, 1, "good data", "good");
    const fs::path product = dir_.Path() / "data" / "5";
    const std::string good = ReadWholeFile(product / "1.sav");
    WriteWholeFile(product / "2.sav", good.substr(0, good.size() - 3));  // torn footer
    WriteWholeFile(product / "3.sav", "short");
    WriteWholeFile(product / "04.sav", good);  // not a canonical slot number
    WriteWholeFile(product / "notes.txt", good);
    const auto list = store_.List(5);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].slotId, 1u);
    EXPECT_EQ(Load(5, 2), "<none>");
    EXPECT_EQ(Load(5, 3), "<none>");
}

TEST_F(SavegameStoreTest, PrepareRemovesOnlyItsOwnersLeftoverTemporaryFiles) {
    Store(5, 1, "kept", "kept");
    const fs::path product = dir_.Path() / "data" / "5";
    fs::path leftover;  // what a launcher of this owner that died during a write leaves behind
    {
        auto died = store_.BeginWrite(5, 2);
        ASSERT_TRUE(died);
        for (const auto& file : fs::directory_iterator(product)) {
            if (file.path().extension() == ".tmp") {
                leftover = file.path();
            }
        }
    }
    WriteWholeFile(leftover, "half a write");

    SavegameStore neighbour(dir_.Path() / "data", "pipe_b");
    auto live = neighbour.BeginWrite(5, 3);
    ASSERT_TRUE(live);
    ASSERT_EQ(live->Append("whole"), 5u);

    SavegameStore restarted(dir_.Path() / "data", "pipe_a");
    std::string error;
    ASSERT_TRUE(restarted.Prepare(&error));
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(live->Commit("whole"));
    EXPECT_EQ(Load(5, 1), "kept");
    EXPECT_EQ(Load(5, 3), "whole");
}

TEST_F(SavegameStoreTest, RemoveReportsWhatHappened) {
    Store(5, 1, "x", "x");
    EXPECT_EQ(store_.Remove(5, 1), SavegameStore::RemoveResult::kRemoved);
    EXPECT_EQ(store_.Remove(5, 1), SavegameStore::RemoveResult::kNotFound);
    EXPECT_EQ(store_.Remove(77, 1), SavegameStore::RemoveResult::kNotFound);
    EXPECT_TRUE(store_.List(5).empty());
}

TEST_F(SavegameStoreTest, PrepareFailsWhenTheRootIsAFile) {
    WriteWholeFile(dir_.Path() / "plain", "x");
    SavegameStore store(dir_.Path() / "plain", "pipe_a");
    std::string error;
    EXPECT_FALSE(store.Prepare(&error));
    EXPECT_NE(error.find("data directory"), std::string::npos);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
