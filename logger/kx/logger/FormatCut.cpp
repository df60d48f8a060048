#include "kx/logger/FormatCut.h"

#include <cstdarg>
#include <cstdio>

#include "kx/common/Contract.h"

namespace kx {
namespace common {

int FormatCut(char* buffer, std::size_t size, const char* format, ...) {
    KX_CHECK(size > 0);
    va_list arguments;
    va_start(arguments, format);
    const int wanted = std::vsnprintf(buffer, size, format, arguments);
    va_end(arguments);
    if (wanted < 0) {
        buffer[0] = '\0';
        return 0;
    }
    if (static_cast<std::size_t>(wanted) >= size) return static_cast<int>(size - 1);
    return wanted;
}

}  // namespace common
}  // namespace kx
