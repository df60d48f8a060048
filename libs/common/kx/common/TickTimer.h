#pragma once

namespace kx {
namespace common {

// A millisecond tick count that wraps around after 2^32 ms (about 49.7 days).
using TickSource = unsigned (*)();

// The platform's millisecond tick counter, truncated to 32 bits.
unsigned CurrentTick();

// Measures intervals on a 32-bit millisecond tick counter. All arithmetic is unsigned 32-bit, so
// elapsed times stay correct when the counter wraps between start and now. Not thread-safe: one
// thread owns a timer.
class TickTimer {
public:
    // Interval 0, start tick 0.
    TickTimer() : interval_(0), start_(0), source_(&CurrentTick) {}

    // Starts now with `interval` milliseconds. `source` gives the ticks (tests pass their own).
    explicit TickTimer(unsigned interval, TickSource source = &CurrentTick)
        : interval_(interval), start_(source()), source_(source) {}

    // Starts again now with a new interval.
    void Restart(unsigned interval);

    // Whether the interval has passed since the start. The elapsed milliseconds are stored
    // through `elapsed` when it is not null. When the interval has passed, the timer restarts
    // itself from now with the same interval.
    bool HasElapsed(unsigned* elapsed);

    // Milliseconds until the interval has passed; 0 once it has.
    unsigned GetRemaining() const;

private:
    unsigned interval_;
    unsigned start_;
    TickSource source_;
};

}  // namespace common
}  // namespace kx
