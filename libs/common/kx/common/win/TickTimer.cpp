#include "kx/common/TickTimer.h"

#include <windows.h>

namespace kx {
namespace common {

unsigned CurrentTick() {
    return GetTickCount();
}

}  // namespace common
}  // namespace kx
