#pragma once

#include <cstddef>

namespace kx {
namespace common {

// Formats like snprintf into `buffer` of `size` bytes (size > 0), cutting the result to fit
// together with its terminating zero. Returns the number of characters written, without the
// zero; 0 (and an empty buffer) when the format fails.
int FormatCut(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace common
}  // namespace kx
