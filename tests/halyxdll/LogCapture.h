#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "kx/logger/Logger.h"
#include "kx/logger/LoggerBackend.h"

namespace halyxdll_test {

// Keeps every record that reaches logger 0, from any thread. Registered (with every level
// passing) on first use and kept for the life of the process, as loggers keep their sinks.
class LogCapture : public kx::common::LoggerBackend {
public:
    struct Line {
        int level;
        std::string file;
        std::string text;
    };

    static LogCapture& Get() {
        static LogCapture* capture = [] {
            LogCapture* created = new LogCapture();
            kx::common::Logger::Get(0).SetThreshold(kx::common::kLogDebug);
            kx::common::Logger::Get(0).AddBackend(created);
            return created;
        }();
        return *capture;
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }
    std::vector<Line> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    // Number of records whose text contains `text`.
    int Count(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        int count = 0;
        for (const Line& line : lines_) count += line.text.find(text) != std::string::npos;
        return count;
    }

    void write(int level, const char* file, int, const char* text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back({level, file, text});
    }
    void flush() override {}
    void output(const char*) override {}

private:
    LogCapture() : LoggerBackend(false, true, 0) {}

    std::mutex mutex_;
    std::vector<Line> lines_;
};

}  // namespace halyxdll_test
