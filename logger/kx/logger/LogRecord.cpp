#include "kx/logger/LogRecord.h"

namespace kx {
namespace common {

LogRecord::LogRecord(int logger, int level, const char* file, int line)
    : logger_(logger), level_(level), file_(file), line_(line) {}

LogRecord::~LogRecord() {
    Logger& logger = Logger::Get(logger_);
    if (!logger.Passes(level_)) return;
    logger.Message(level_, file_, line_, "%s", text_.GetUtf8());
}

LogRecord& LogRecord::operator<<(const char* text) {
    if (text != nullptr) text_.Append(String(text, -1));
    return *this;
}

LogRecord& LogRecord::operator<<(int value) {
    text_.AppendInt(value);
    return *this;
}

LogRecord& LogRecord::operator<<(unsigned value) {
    text_.AppendUInt(value);
    return *this;
}

}  // namespace common
}  // namespace kx
