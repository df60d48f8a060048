#include "PipeNamespace.h"

#include <windows.h>

namespace kx {
namespace bench {

std::string UniquePipeName(const std::string& base) {
    return base + "_" + std::to_string(GetCurrentProcessId());
}

}  // namespace bench
}  // namespace kx
