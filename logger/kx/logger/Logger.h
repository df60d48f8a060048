#pragma once

#include <atomic>

#include "kx/common/CriticalSection.h"
#include "kx/common/HybridArray.h"
#include "kx/logger/LoggerBackend.h"

namespace kx {
namespace common {

// Severity levels; a smaller number is more severe.
constexpr int kLogError = 0;
constexpr int kLogInfo = 1;
constexpr int kLogDebug = 2;

// A numbered logger: passes records at or below its threshold to its sinks, in the order the
// sinks were added. The library uses logger 0 only.
// Threads: any thread may log. `lock_` guards the sink list and serializes the sinks' `write`
// and `flush`, so lines from different threads never interleave. The threshold is an atomic
// read without the lock.
class Logger {
public:
    // Numbers accepted by Get: 0 to kLoggerCount - 1.
    static constexpr int kLoggerCount = 16;
    // Size of the buffer a message is formatted into, terminating zero included.
    static constexpr int kMessageBufferSize = 32768;

    // The logger with `number`, created on first use (safe on any thread) and never destroyed.
    // A number outside 0 to kLoggerCount - 1 is a contract violation.
    static Logger& Get(int number);

    // A logger of its own, not reachable through Get; threshold kLogError, no sinks.
    Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // True when a record of `level` would reach the sinks (level <= threshold).
    bool Passes(int level) const { return level <= threshold_.load(std::memory_order_relaxed); }

    int GetThreshold() const { return threshold_.load(std::memory_order_relaxed); }
    void SetThreshold(int level) { threshold_.store(level, std::memory_order_relaxed); }

    // Registers `backend` unless the same pointer is registered already. The logger does not
    // own it: the backend must stay alive as long as the logger can log.
    void AddBackend(LoggerBackend* backend);

    // Number of registered sinks.
    unsigned GetBackendCount();

    // Formats `format` and its arguments (printf style) into a 32768-byte stack buffer and
    // passes the result to every sink's `write`. A result that does not fit with its zero is
    // replaced by a refusal text at level kLogError. Does not test the threshold.
    void Message(int level, const char* file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

    // Calls `flush` on every sink.
    void Flush();

private:
    CriticalSection lock_;
    HybridArray<LoggerBackend*, 2> backends_;
    std::atomic<int> threshold_;
};

}  // namespace common
}  // namespace kx
