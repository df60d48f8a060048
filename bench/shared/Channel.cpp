#include "shared/Channel.h"

namespace kx {
namespace bench {

bool Channel::ReadFull(void* buffer, std::size_t size) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const long got = ReadSome(out, size);
        if (got <= 0) return false;
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace bench
}  // namespace kx
