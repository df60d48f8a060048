#include "kx/testing/PipeNamespace.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

namespace kx {
namespace testing {

namespace {

// The process's private pipe directory, removed with the sockets left in it at exit.
class PrivateDirectory {
public:
    PrivateDirectory() {
        char pattern[] = "/tmp/kx-pipes-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        path_ = pattern;
        setenv("XDG_RUNTIME_DIR", pattern, 1);
    }
    ~PrivateDirectory() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

private:
    std::string path_;
};

}  // namespace

std::string UniquePipeName(const std::string& tag) {
    static std::atomic<unsigned> serial(0);
    return tag + "-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
}

void IsolatePipeNamespace() {
    static const PrivateDirectory directory;
}

}  // namespace testing
}  // namespace kx
