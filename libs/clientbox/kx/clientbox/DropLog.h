#pragma once

#include <cstdint>

#include "kx/common/TickTimer.h"

namespace kx {
namespace clientbox {

// Reports dropped frames without letting a stream of them flood the debugger output: the
// first kLinesInFull drops each get a line of their own; after that, at most one line per
// kSummaryIntervalMs says how many were dropped since the last line.
// Threads: used under its owner's lock (the message connection's).
class DropLog {
public:
    static constexpr unsigned kLinesInFull = 8;
    static constexpr unsigned kSummaryIntervalMs = 1000;

    // `source` gives the ticks (tests pass their own).
    explicit DropLog(common::TickSource source = &common::CurrentTick);

    // Records one dropped frame of `length` bytes, dropped because of `reason` (a text that
    // completes "Dropped a message that ..."), with `detail` appended when not empty. Writes
    // a line when one is due. Returns whether it wrote one.
    bool Record(uint32_t length, const char* reason, const char* detail = "");

    // Frames recorded since the last line was written.
    unsigned GetUnreported() const { return unreported_; }

private:
    unsigned linesInFull_;
    unsigned unreported_;
    common::TickTimer summary_;
};

}  // namespace clientbox
}  // namespace kx
