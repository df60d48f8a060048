#pragma once

#include <chrono>
#include <cstdio>

#include "kx/common/Atomic.h"
#include "kx/common/Contract.h"

namespace kx {
namespace testing {

// An object whose destruction is counted and whose use after destruction shows: a live object
// carries kAlive, a destroyed one kDead (AddressSanitizer also reports any use of its memory).
class Victim {
public:
    static constexpr int kAlive = 0x0A11FE;
    static constexpr int kDead = 0xDEAD;

    explicit Victim(common::AtomicInt32* destroyed) : destroyed_(destroyed) {}
    ~Victim() {
        KX_CHECK(magic_ == kAlive);  // destroyed twice
        magic_ = kDead;
        destroyed_->Increment();
    }

    bool IsAlive() const { return magic_ == kAlive; }

    // A handler for signals: counts calls on live objects, and calls on dead ones in `misuse`.
    void OnSignal() {
        if (IsAlive()) {
            calls.Increment();
        } else {
            misuse.Increment();
        }
    }

    common::AtomicInt32 calls;
    inline static common::AtomicInt32 misuse{0};

private:
    common::AtomicInt32* destroyed_;
    int magic_ = kAlive;
};

// Measures a stress test's wall time and prints it with a note for the test log.
class StressReport {
public:
    explicit StressReport(const char* name) : name_(name), start_(Clock::now()) {}
    ~StressReport() {
        const long long milliseconds =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
        std::printf("[ stress   ] %s: %lld ms%s\n", name_, milliseconds, note_);
        std::fflush(stdout);
    }
    // Added to the printed line; must stay alive until the report is printed.
    void SetNote(const char* note) { note_ = note; }

private:
    using Clock = std::chrono::steady_clock;
    const char* name_;
    Clock::time_point start_;
    const char* note_ = "";
};

}  // namespace testing
}  // namespace kx
