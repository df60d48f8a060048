#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace kx {
namespace toolcommon {

// Closes a stream that OpenFile handed out.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// An open file stream, closed when it goes.
using File = std::unique_ptr<std::FILE, FileCloser>;

// What a file is opened for: reading its bytes as they are, or writing it from empty (created
// when missing, truncated when present).
enum class FileAccess { kRead, kWrite };

// Opens the file at `path` for `access`, in binary mode. A program that the tool starts never
// inherits the file: the descriptor is close-on-exec on POSIX and the handle not inheritable on
// Windows. On Windows the path is opened as UTF-16, so any name the
// file system holds can be opened. Returns null when the file cannot be opened.
File OpenFile(const std::filesystem::path& path, FileAccess access);

// Moves the position of `file` to `offset` bytes from its start, past 2 GiB as well. Returns
// false on failure.
bool SeekFile(std::FILE* file, std::uint64_t offset);

// The size of the open `file` in bytes, past 2 GiB as well, leaving its position at the end.
// Returns -1 when it cannot be told.
std::int64_t FileSize(std::FILE* file);

// Appends what is left of `file`, from its position to its end, to `*bytes`. Returns false when
// reading fails.
bool ReadRest(std::FILE* file, std::string* bytes);

}  // namespace toolcommon
}  // namespace kx
