#pragma once

#include "kx/testing/PipeEnd.h"

namespace kx {
namespace testing {

// True when descriptor `fd` has something to read (bytes, end of stream, an error, or a client
// for a listening socket) within `wait`; no limit waits for good.
bool WaitReadable(int fd, Wait wait);

}  // namespace testing
}  // namespace kx
