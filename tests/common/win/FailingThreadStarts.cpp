#include "FailingThreadStarts.h"

#include "kx/common/win/ThreadStartFault.h"

namespace kx {
namespace testing {

FailingThreadStarts::FailingThreadStarts() {
    common::SetThreadStartsFailForTesting(true);
}

FailingThreadStarts::~FailingThreadStarts() {
    common::SetThreadStartsFailForTesting(false);
}

}  // namespace testing
}  // namespace kx
