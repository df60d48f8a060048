#include "FailingThreadStarts.h"

#include "kx/common/win/ThreadStartFault.h"

namespace kx {
namespace testing {

FailingThreadStarts::FailingThreadStarts() {
    SetThreadStartsFailForTesting(true);
}

FailingThreadStarts::~FailingThreadStarts() {
    SetThreadStartsFailForTesting(false);
}

}  // namespace testing
}  // namespace kx
