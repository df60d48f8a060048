#include "kx/testing/posix/WaitReadable.h"

#include <errno.h>
#include <poll.h>

#include <climits>

namespace kx {
namespace testing {

bool WaitReadable(int fd, Wait wait) {
    const int timeout = wait.count() > INT_MAX ? -1 : static_cast<int>(wait.count());
    pollfd polled = {fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&polled, 1, timeout);
    } while (ready < 0 && errno == EINTR);
    return ready != 0;
}

}  // namespace testing
}  // namespace kx
