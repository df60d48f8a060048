#include "kx/toolcommon/OpenFile.h"

namespace kx {
namespace toolcommon {

// The C run-time opens handles that a program it starts inherits unless told otherwise ('N').
File OpenFile(const std::filesystem::path& path, FileAccess access) {
    return File(::_wfopen(path.c_str(), access == FileAccess::kRead ? L"rbN" : L"wbN"));
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
    return ::_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

std::int64_t FileSize(std::FILE* file) {
    if (::_fseeki64(file, 0, SEEK_END) != 0) {
        return -1;
    }
    return ::_ftelli64(file);
}

}  // namespace toolcommon
}  // namespace kx
