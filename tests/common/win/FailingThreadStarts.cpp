#include "FailingThreadStarts.h"

#include "kx/common/win/ThreadStartFault.h"

namespace kx {
namespace common {
namespace testing {

FailingThreadStarts::FailingThreadStarts() {
    SetThreadStartsFailForTesting(true);
}

FailingThreadStarts::~FailingThreadStarts() {
    SetThreadStartsFailForTesting(false);
}

}  // namespace testing
}  // namespace common
}  // namespace kx
