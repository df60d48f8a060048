#pragma once

#include <filesystem>
#include <string>

namespace kx {
namespace devlauncher {

// Replaces `file` by one holding exactly `content`, creating its directory when missing: writes
// "<file>.tmp", flushes it to disk and renames it over `file`, so a reader sees either the old
// or the new content, never a part. Returns false (leaving `file` as it was) on failure.
bool WriteFileAtomically(const std::filesystem::path& file, const std::string& content);

}  // namespace devlauncher
}  // namespace kx
