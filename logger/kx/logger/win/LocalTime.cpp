#include "kx/logger/LocalTime.h"

#include <time.h>

namespace kx {
namespace common {

void FormatLocalTime(char* buffer, std::size_t size) {
    buffer[0] = '\0';
    __time64_t now = _time64(nullptr);
    struct tm local;
    if (_localtime64_s(&local, &now) != 0) return;
    if (strftime(buffer, size, "%Y-%m-%d %H:%M:%S", &local) == 0) buffer[0] = '\0';
}

}  // namespace common
}  // namespace kx
