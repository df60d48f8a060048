#pragma once

#include <cstddef>

namespace kx {
namespace common {

// Writes the current local time as "YYYY-MM-DD hh:mm:ss" into `buffer` of `size` bytes
// (size > 0). Leaves an empty text when the time cannot be read or does not fit.
void FormatLocalTime(char* buffer, std::size_t size);

}  // namespace common
}  // namespace kx
