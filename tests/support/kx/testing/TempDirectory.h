#pragma once

#include <filesystem>
#include <string>

namespace kx {
namespace testing {

// A fresh, empty directory below the system's temporary directory, removed with everything in
// it when the object goes away.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes `bytes` exactly to `relative` below the directory, creating folders on the way.
    // Returns the file's full path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

}  // namespace testing
}  // namespace kx
