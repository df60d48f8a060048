#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>

namespace kx {
namespace devlauncher {

// A new file written from start to end and then forced to disk, the first half of an atomic
// replacement (the second half is ReplaceFileDurably). Used by one thread at a time.
class DurableFile {
public:
    struct Impl;

    // Creates `path`, which must not exist yet. Returns null when it exists or cannot be made.
    static std::unique_ptr<DurableFile> CreateNew(const std::filesystem::path& path);

    explicit DurableFile(std::unique_ptr<Impl> impl);
    ~DurableFile();  // closes the file if still open; never removes it
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // Appends all `size` bytes. Returns false when the system refused some of them.
    bool Append(const void* data, std::size_t size);

    // Flushes everything appended to the disk and closes the file. Returns false when the
    // flush or the close failed; the file is closed either way and Append may not follow.
    bool SyncAndClose();

private:
    std::unique_ptr<Impl> impl_;
};

// Puts `from` in the place of `to` in one step, replacing `to` if it exists, and makes the new
// directory entry durable. Returns false when the rename failed; `to` is then unchanged.
bool ReplaceFileDurably(const std::filesystem::path& from, const std::filesystem::path& to);

// Forces the entries of directory `dir` (files and folders created, renamed or removed in it)
// to disk, so that a power cut cannot bring back a removed savegame or lose a new folder.
void SyncDirectory(const std::filesystem::path& dir);

}  // namespace devlauncher
}  // namespace kx
