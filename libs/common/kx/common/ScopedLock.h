#pragma once

#include "kx/common/CriticalSection.h"

namespace kx {
namespace common {

// Holds a CriticalSection for the lifetime of the guard, or until Unlock. The lock must outlive
// the guard. Used on one thread only.
class ScopedLock {
public:
    // Locks `lock` (not null).
    explicit ScopedLock(CriticalSection* lock) : lock_(lock) { lock_->Lock(); }

    ~ScopedLock() { Unlock(); }

    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    // Releases the lock early; later calls and the destructor then do nothing.
    void Unlock() {
        if (lock_ != nullptr) {
            lock_->Unlock();
            lock_ = nullptr;
        }
    }

private:
    CriticalSection* lock_;
};

}  // namespace common
}  // namespace kx
