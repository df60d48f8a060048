#include "kx/common/TickTimer.h"

namespace kx {
namespace common {

void TickTimer::Restart(unsigned interval) {
    start_ = source_();
    interval_ = interval;
}

bool TickTimer::HasElapsed(unsigned* elapsed) {
    const unsigned now = source_();
    const unsigned passed = now - start_;
    if (elapsed != nullptr) *elapsed = passed;
    if (passed < interval_) return false;
    start_ = now;
    return true;
}

unsigned TickTimer::GetRemaining() const {
    const unsigned passed = source_() - start_;
    return passed >= interval_ ? 0 : interval_ - passed;
}

}  // namespace common
}  // namespace kx
