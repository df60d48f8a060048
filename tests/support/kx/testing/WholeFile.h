#pragma once

#include <filesystem>
#include <string>

namespace kx {
namespace testing {

// The whole content of `file`, or an empty string when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& file);

// Writes `content` exactly to `file`, replacing it and creating its folders on the way.
void WriteWholeFile(const std::filesystem::path& file, const std::string& content);

}  // namespace testing
}  // namespace kx
