#include "kx/toolcommon/OpenFile.h"

#include <sys/types.h>

namespace kx {
namespace toolcommon {

File OpenFile(const std::filesystem::path& path, FileAccess access) {
    return File(std::fopen(path.c_str(), access == FileAccess::kRead ? "rbe" : "wbe"));
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::int64_t FileSize(std::FILE* file) {
    if (::fseeko(file, 0, SEEK_END) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(::ftello(file));
}

}  // namespace toolcommon
}  // namespace kx
