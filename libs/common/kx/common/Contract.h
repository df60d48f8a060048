#pragma once

// Contract checks. A broken contract is a fault of the calling code (a null handle, an index
// out of range, unlocking a lock that is not held): the process stops at once instead of
// running on with corrupted state. Input from outside the process is never checked this way.

namespace kx {
namespace common {

// Writes "Contract violated: <condition> at <file>(<line>)" straight to the debugger output
// and standard error, and aborts. Allocates nothing and does not use the logger, so it
// works before the logger exists and inside the logger's own code.
[[noreturn]] void ContractViolation(const char* condition, const char* file, int line);

}  // namespace common
}  // namespace kx

// Stops the process when `condition` is false. The condition is evaluated exactly once.
#define KX_CHECK(condition)             \
    ((condition) ? static_cast<void>(0) \
                 : ::kx::common::ContractViolation(#condition, __FILE__, __LINE__))
