#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "kx/logger/LoggerBackend.h"

namespace kx {
namespace testing {

// A log sink that keeps every record it is given, for a test to inspect. Records may come from
// any thread (the logger calls one sink at a time under its lock); the test reads them from its
// own thread, so the record list has a lock of its own.
class LogCapture : public common::LoggerBackend {
public:
    // One record as the logger handed it over.
    struct Line {
        int level;
        std::string file;
        int line;
        std::string text;
    };

    // A sink registered nowhere: the test adds it to the logger it watches, which never lets go
    // of it, so it must be created with new and never deleted.
    LogCapture();

    // The sink on logger 0, the library's own, with that logger's threshold raised to debug.
    // Registered on first use and kept for the life of the process.
    static LogCapture& Get();

    // Forgets every record kept so far.
    void Clear();
    // Every record kept so far, oldest first.
    std::vector<Line> Lines() const;
    // The records whose text contains `part`, oldest first.
    std::vector<Line> Matching(const std::string& part) const;
    // How often the logger flushed this sink.
    int Flushes() const;

    void write(int level, const char* file, int line, const char* text) override;
    void flush() override;
    // Unused: write keeps the record instead of formatting a line.
    void output(const char*) override {}

private:
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
    int flushes_ = 0;
};

}  // namespace testing
}  // namespace kx
