#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kx/devlauncher/DurableFile.h"
#include "kx/toolcommon/OpenFile.h"

namespace kx {
namespace devlauncher {

// Largest savegame in bytes: sizes and offsets travel as unsigned 32-bit numbers.
constexpr std::uint64_t kMaxSavegameSize = 0xFFFFFFFFu;

// One committed savegame as listed.
struct SavegameEntry {
    std::uint32_t slotId = 0;
    std::string name;  // display name, UTF-8 as the game gave it
    std::uint32_t size = 0;
};

// A committed savegame opened for reading. Used by one thread at a time; the caller holds a
// read lock on the slot, so the file cannot be replaced or removed underneath it.
class StoredSavegame {
public:
    StoredSavegame(toolcommon::File file, std::uint32_t size, std::string name);

    std::uint32_t Size() const { return size_; }
    const std::string& Name() const { return name_; }

    // Copies `size` bytes starting at `offset` into `out`. Precondition: offset + size <= Size().
    // Returns false when the file could not be read.
    bool ReadAt(std::uint32_t offset, std::size_t size, char* out);

private:
    toolcommon::File file_;
    std::uint32_t size_;
    std::string name_;
};

class SavegameStore;

// Data on its way into a slot. It lives in a temporary file beside the slot's file and becomes
// the slot's savegame only through Commit; destroying it without Commit discards it. Used by
// one thread at a time; the caller holds the slot's write lock.
class PendingSavegame {
public:
    PendingSavegame(SavegameStore& store, std::unique_ptr<DurableFile> file,
                    std::filesystem::path tempPath, std::filesystem::path finalPath);
    ~PendingSavegame();
    PendingSavegame(const PendingSavegame&) = delete;
    PendingSavegame& operator=(const PendingSavegame&) = delete;

    // Appends `data` and returns the number of bytes appended: all of them, or 0 when the disk
    // refused them or the savegame would grow past kMaxSavegameSize. After a refusal by the disk
    // every later Append returns 0 and Commit fails, since the data would have a hole.
    std::uint32_t Append(const std::string& data);

    // Bytes appended so far.
    std::uint64_t Size() const { return size_; }

    // Stores the data under display name `name` in place of the slot's previous savegame:
    // writes, flushes to disk, then renames in one step. Returns false when any step failed; the
    // previous savegame is then untouched and the data discarded. Call at most once.
    bool Commit(const std::string& name);

private:
    void Discard();

    SavegameStore& store_;
    std::unique_ptr<DurableFile> file_;  // null once committed or discarded
    std::filesystem::path tempPath_;
    std::filesystem::path finalPath_;
    std::uint64_t size_ = 0;
    bool failed_ = false;
};

// The savegames on disk: one directory per product (named by its decimal id), one file per slot
// ("<slot>.sav") holding the data followed by the display name and a fixed footer, so that data
// and name are replaced together by one rename. Temporary files end in ".tmp" and carry a tag of
// the store's owner, since several launchers (each serving its own pipe) may share a root.
// Every new folder and every removal is synced to disk, like the renames.
//
// Any thread may call any method. Slots are guarded by the callers' slot locks; files_ guards
// the directory scans against renames and removals (which Windows refuses on open files).
class SavegameStore {
public:
    enum class RemoveResult { kRemoved, kNotFound, kFailed };

    // `owner` names the launcher among those that share `root`: the name of the pipe it serves,
    // which only one live launcher can hold.
    SavegameStore(std::filesystem::path root, const std::string& owner);

    // Creates the root directory and removes the temporary files a launcher of the same owner
    // left when it died during a write; other owners' files stay, as their launchers may still
    // be writing them. Call only while holding the owner's name. Returns false with a reason in
    // `*error` when the root is unusable.
    bool Prepare(std::string* error);

    // The product's committed savegames in ascending slot order; files that are not savegames
    // are skipped.
    std::vector<SavegameEntry> List(std::uint32_t productId) const;

    // Opens the slot's committed savegame, or returns null when the slot holds none.
    std::unique_ptr<StoredSavegame> Open(std::uint32_t productId, std::uint32_t slotId) const;

    // Starts writing a new savegame for the slot. Returns null when the temporary file cannot be
    // created. The result must not outlive the store.
    std::unique_ptr<PendingSavegame> BeginWrite(std::uint32_t productId, std::uint32_t slotId);

    // Deletes the slot's savegame file.
    RemoveResult Remove(std::uint32_t productId, std::uint32_t slotId);

    // Where the slot's savegame lives.
    std::filesystem::path SlotPath(std::uint32_t productId, std::uint32_t slotId) const;

private:
    friend class PendingSavegame;

    std::filesystem::path root_;
    mutable std::mutex files_;
    std::atomic<std::uint64_t> tempCounter_{0};
    std::string ownerTag_;   // in every temporary file name of this owner: ".<hex digits>."
    std::string tempToken_;  // tells this launcher's temporary files from a previous one's
};

}  // namespace devlauncher
}  // namespace kx
