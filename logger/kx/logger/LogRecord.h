#pragma once

#include "kx/common/String.h"
#include "kx/logger/Logger.h"

namespace kx {
namespace common {

// One log record, built on the call site's stack: text is appended piece by piece and the
// record is emitted when it is destroyed. Emission drops the record when its level is above
// the logger's threshold, and otherwise hands the text to Logger::Message with the format "%s".
// Threads: belongs to the thread that built it.
class LogRecord {
public:
    // `file` must stay valid until the record is destroyed (a string literal in practice).
    LogRecord(int logger, int level, const char* file, int line);
    LogRecord(const LogRecord&) = delete;
    LogRecord& operator=(const LogRecord&) = delete;

    // Emits the record.
    ~LogRecord();

    // Appends UTF-8 text; a null pointer appends nothing.
    LogRecord& operator<<(const char* text);
    // Appends the value in decimal.
    LogRecord& operator<<(int value);
    LogRecord& operator<<(unsigned value);

private:
    int logger_;
    int level_;
    const char* file_;
    int line_;
    String text_;
};

// Turns a record expression into a void expression, so that KX_LOG_AT can skip the record
// entirely with the conditional operator.
struct LogRecordEnd {
    void operator&(const LogRecord&) const {}
};

}  // namespace common
}  // namespace kx

// Logs to logger 0 with an explicit source path and line:
//   KX_LOG_AT(kx::common::kLogError, "path/File.cpp", 120) << "text " << value;
// Below the threshold this costs the level comparison only: the record is not even built.
#define KX_LOG_AT(level, file, line)            \
    !::kx::common::Logger::Get(0).Passes(level) \
        ? static_cast<void>(0)                  \
        : ::kx::common::LogRecordEnd() & ::kx::common::LogRecord(0, (level), (file), (line))

// Logs to logger 0 from the current source line: KX_LOG(kx::common::kLogDebug) << "text";
#define KX_LOG(level) KX_LOG_AT(level, __FILE__, __LINE__)
