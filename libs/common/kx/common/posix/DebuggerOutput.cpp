#include "kx/common/DebuggerOutput.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

namespace kx {
namespace common {

void WriteDebuggerOutput(const char* line) {
    size_t remaining = strlen(line);
    while (remaining > 0) {
        ssize_t written = write(STDERR_FILENO, line, remaining);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        line += written;
        remaining -= static_cast<size_t>(written);
    }
}

void WriteFatalOutput(const char* line) { WriteDebuggerOutput(line); }

}  // namespace common
}  // namespace kx
