#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

namespace kx {
namespace testing {

// A fresh, empty directory below the system's temporary directory, removed with everything in
// it when the object goes away.
class TempDirectory {
public:
    TempDirectory() {
        static std::atomic<int> serial{0};
        const auto stamp = std::filesystem::file_time_type::clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("kx-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(path_);
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& GetPath() const { return path_; }

    // Writes `bytes` exactly to `relative` below the directory, creating folders on the way.
    // Returns the file's full path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

}  // namespace testing
}  // namespace kx
