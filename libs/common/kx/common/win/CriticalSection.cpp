#include "kx/common/CriticalSection.h"

#include <windows.h>

#include "kx/common/Contract.h"

namespace kx {
namespace common {

namespace {

CRITICAL_SECTION* Platform(unsigned char* storage) {
    static_assert(sizeof(CRITICAL_SECTION) <= 64 && alignof(CRITICAL_SECTION) <= 8,
                  "CRITICAL_SECTION must fit the lock's platform storage");
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

}  // namespace

void CriticalSection::InitializePlatform() {
    // Without debug information, making a lock takes nothing from the heap (under Wine a lock
    // with it does): the library makes one for every shared object.
    KX_CHECK(InitializeCriticalSectionEx(Platform(platform_), 0, CRITICAL_SECTION_NO_DEBUG_INFO) !=
             0);
}

void CriticalSection::DeletePlatform() {
    DeleteCriticalSection(Platform(platform_));
}

void CriticalSection::EnterPlatform() {
    if (!TryEnterCriticalSection(Platform(platform_))) EnterCriticalSection(Platform(platform_));
}

void CriticalSection::LeavePlatform() {
    LeaveCriticalSection(Platform(platform_));
}

}  // namespace common
}  // namespace kx
