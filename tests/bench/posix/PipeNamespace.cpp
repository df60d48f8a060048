#include "PipeNamespace.h"

#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kx {
namespace bench {

namespace {

// The directory lives as long as the process; the listeners remove their sockets from it.
struct PrivateDirectory {
    PrivateDirectory() {
        char created[] = "/tmp/halyx-bench-test-XXXXXX";
        if (mkdtemp(created) == nullptr) return;
        path = created;
        setenv("XDG_RUNTIME_DIR", created, 1);
    }
    ~PrivateDirectory() {
        if (!path.empty()) rmdir(path.c_str());
    }
    std::string path;
};

}  // namespace

std::string UniquePipeName(const std::string& base) {
    static const PrivateDirectory directory;
    EXPECT_FALSE(directory.path.empty()) << "no private pipe directory";
    return base;
}

}  // namespace bench
}  // namespace kx
