#include "kx/common/OpenFile.h"

namespace kx {
namespace common {

// "N": the runtime would otherwise make the handle inheritable, and a program the game starts
// with inherited handles would hold the file open.
std::FILE* OpenFileForReading(const char* path) {
    return std::fopen(path, "rbN");
}

}  // namespace common
}  // namespace kx
