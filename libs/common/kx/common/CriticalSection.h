#pragma once

#include "kx/common/Atomic.h"

namespace kx {
namespace common {

// Recursive lock that knows its holder and how often the holder has entered it. Any thread may
// lock it; the holder may lock it again and must unlock it as often as it locked it. Depth is
// written and read only by the holder; the owner is atomic because any thread may ask whether
// it is the holder. States: free (depth 0, owner 0), held (depth >= 1, owner set), destroyed
// (depth kDestroyedDepth).
class CriticalSection {
public:
    // Marks a destroyed lock in the depth field.
    static constexpr unsigned kDestroyedDepth = 0xFEEEFEEE;

    CriticalSection();
    ~CriticalSection();

    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Enters the lock, waiting while another thread holds it. On a machine of more than one
    // CPU the thread first tries again for up to kSpinCount short pauses before it sleeps.
    void Lock();

    // Leaves the lock once. The calling thread must hold it (contract): unlocking a free, a
    // destroyed or another thread's lock stops the process.
    void Unlock();

    // True when the calling thread holds the lock. Safe on any thread at any time.
    bool IsHeldByCurrentThread() const;

    // How many times the holder has entered the lock; meaningful only on the holding thread.
    unsigned GetDepth() const { return depth_; }

private:
    // The library's locks are held for a few hundred instructions (a pool's free list, a
    // socket's queues), so a waiting thread usually finds the lock free again within this
    // many pauses, and spares the kernel call that puts it to sleep and the one that wakes it.
    // A pause takes up to 140 cycles on current processors: a holder not done after this many
    // has most likely lost its CPU, and spinning on would only take CPU time from the game,
    // the launcher and the library's other threads.
    static constexpr unsigned kSpinCount = 30;

    void InitializePlatform();
    void DeletePlatform();
    void EnterPlatform();
    void LeavePlatform();

    // Room for the platform's lock object (a CRITICAL_SECTION or a pthread mutex); each
    // platform checks at compile time that its object fits.
    static constexpr unsigned kPlatformSize = 64;
    alignas(8) unsigned char platform_[kPlatformSize];
    unsigned depth_;
    AtomicInt32 owner_;
};

}  // namespace common
}  // namespace kx
