#include "kx/logger/LocalTime.h"

#include <time.h>

namespace kx {
namespace common {

void FormatLocalTime(char* buffer, std::size_t size) {
    buffer[0] = '\0';
    const time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr) return;
    if (strftime(buffer, size, "%Y-%m-%d %H:%M:%S", &local) == 0) buffer[0] = '\0';
}

}  // namespace common
}  // namespace kx
