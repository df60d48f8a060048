#include "kx/testing/TempDirectory.h"

#include <atomic>
#include <chrono>

#include "kx/testing/WholeFile.h"

namespace kx {
namespace testing {

TempDirectory::TempDirectory() {
    // The time tells apart the directories of test programs running at once; the serial those
    // of one program.
    static std::atomic<int> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("kx-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(path_);
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDirectory::WriteFile(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path file = path_ / relative;
    WriteWholeFile(file, bytes);
    return file.string();
}

}  // namespace testing
}  // namespace kx
