#include "kx/common/FileContents.h"

#include <cstdio>

#include "kx/common/OpenFile.h"

namespace kx {
namespace common {

bool ReadFileContents(const char* path, unsigned maxSize, HybridArray<char, 0>& bytes) {
    bytes.Clear();
    std::FILE* file = OpenFileForReading(path);
    if (file == nullptr) return false;

    bool read = false;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        std::rewind(file);
        if (size >= 0 && static_cast<unsigned long>(size) <= maxSize) {
            const unsigned count = static_cast<unsigned>(size);
            bytes.Reserve(count);
            bytes.Resize(count);
            const std::size_t got = count == 0 ? 0 : std::fread(bytes.GetData(), 1, count, file);
            // A file that shrank since its size was taken gives what it still holds.
            bytes.Truncate(static_cast<unsigned>(got));
            read = !std::ferror(file);
        }
    }
    std::fclose(file);
    if (!read) bytes.Clear();
    return read;
}

}  // namespace common
}  // namespace kx
