#include "kx/common/OpenFile.h"

namespace kx {
namespace common {

std::FILE* OpenFileForReading(const char* path) {
    return std::fopen(path, "rbe");
}

}  // namespace common
}  // namespace kx
