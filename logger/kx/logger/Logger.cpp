#include "kx/logger/Logger.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "kx/common/Contract.h"
#include "kx/common/ScopedLock.h"

namespace kx {
namespace common {

namespace {

constexpr char kRefusal[] =
    "Got logging request for something larger than buffer, refusing to log it";

std::atomic<Logger*> gLoggers[Logger::kLoggerCount];

}  // namespace

Logger& Logger::Get(int number) {
    KX_CHECK(number >= 0 && number < kLoggerCount);
    std::atomic<Logger*>& slot = gLoggers[number];
    Logger* logger = slot.load(std::memory_order_acquire);
    if (logger != nullptr) return *logger;

    Logger* created = new Logger();
    if (slot.compare_exchange_strong(logger, created, std::memory_order_acq_rel)) return *created;
    // Another thread created it first; `logger` now holds that one.
    delete created;
    return *logger;
}

Logger::Logger() : threshold_(kLogError) {}

void Logger::AddBackend(LoggerBackend* backend) {
    ScopedLock lock(&lock_);
    if (backends_.Find(backend) < 0) backends_.Add(backend);
}

unsigned Logger::GetBackendCount() {
    ScopedLock lock(&lock_);
    return backends_.GetCount();
}

void Logger::Message(int level, const char* file, int line, const char* format, ...) {
    char text[kMessageBufferSize];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    if (length < 0 || length >= kMessageBufferSize) {
        std::memcpy(text, kRefusal, sizeof(kRefusal));
        level = kLogError;
    }

    ScopedLock lock(&lock_);
    for (unsigned i = 0; i < backends_.GetCount(); ++i) {
        backends_.At(i)->write(level, file, line, text);
    }
}

void Logger::Flush() {
    ScopedLock lock(&lock_);
    for (unsigned i = 0; i < backends_.GetCount(); ++i) backends_.At(i)->flush();
}

}  // namespace common
}  // namespace kx
