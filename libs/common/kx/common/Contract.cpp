#include "kx/common/Contract.h"

#include <cstdio>
#include <cstdlib>

#include "kx/common/DebuggerOutput.h"

namespace kx {
namespace common {

void ContractViolation(const char* condition, const char* file, int line) {
    char message[1024];
    std::snprintf(message, sizeof(message), "Contract violated: %s at %s(%d)\n", condition, file,
                  line);
    WriteFatalOutput(message);
    std::abort();
}

}  // namespace common
}  // namespace kx
