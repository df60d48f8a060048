#include "kx/toolcommon/OpenFile.h"

namespace kx {
namespace toolcommon {

bool ReadRest(std::FILE* file, std::string* bytes) {
    char chunk[64 * 1024];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes->append(chunk, count);
    }
    return std::ferror(file) == 0;
}

}  // namespace toolcommon
}  // namespace kx
