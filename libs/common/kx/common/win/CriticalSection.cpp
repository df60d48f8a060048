#include "kx/common/CriticalSection.h"

#include <windows.h>

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
    // Windows spins only on a machine of more than one CPU.
    InitializeCriticalSectionAndSpinCount(Platform(platform_), kSpinCount);
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
