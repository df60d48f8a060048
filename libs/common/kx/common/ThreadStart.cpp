#include "kx/common/ThreadStart.h"

#include <cstdio>

#include "kx/common/DebuggerOutput.h"

namespace kx {
namespace common {

void ReportThreadStartFailure(int error) {
    char line[96];
    std::snprintf(line, sizeof(line), "Could not start a background thread (error %d).\n", error);
    WriteDebuggerOutput(line);
}

}  // namespace common
}  // namespace kx
