#include "kx/testing/LogCapture.h"

#include "kx/logger/Logger.h"

namespace kx {
namespace testing {

LogCapture::LogCapture() : LoggerBackend(false, false, 0) {}

LogCapture& LogCapture::Get() {
    static LogCapture* const capture = [] {
        LogCapture* created = new LogCapture;
        common::Logger::Get(0).SetThreshold(common::kLogDebug);
        common::Logger::Get(0).AddBackend(created);
        return created;
    }();
    return *capture;
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

std::vector<LogCapture::Line> LogCapture::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<LogCapture::Line> LogCapture::Matching(const std::string& part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Line> found;
    for (const Line& line : lines_) {
        if (line.text.find(part) != std::string::npos) found.push_back(line);
    }
    return found;
}

int LogCapture::Flushes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return flushes_;
}

void LogCapture::write(int level, const char* file, int line, const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(Line{level, file, line, text});
}

void LogCapture::flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++flushes_;
}

}  // namespace testing
}  // namespace kx
