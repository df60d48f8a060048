#include "kx/common/OpenFile.h"

namespace kx {
namespace common {

// Windows hands handles to a started program only when asked to.
std::FILE* OpenFileForReading(const char* path) {
    return std::fopen(path, "rb");
}

}  // namespace common
}  // namespace kx
