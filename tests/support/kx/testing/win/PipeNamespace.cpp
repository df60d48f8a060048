#include "kx/testing/PipeNamespace.h"

#include <windows.h>

#include <atomic>

namespace kx {
namespace testing {

std::string UniquePipeName(const std::string& tag) {
    static std::atomic<unsigned> serial(0);
    return tag + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
}

void IsolatePipeNamespace() {}

}  // namespace testing
}  // namespace kx
