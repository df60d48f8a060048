#pragma once

#include <string>
#include <vector>

#include "kx/logger/LoggerBackend.h"

namespace kx {
namespace testing {

// A sink that keeps every record it is given, for inspection by a test.
class RecordingBackend : public common::LoggerBackend {
public:
    struct Record {
        int level;
        std::string file;
        int line;
        std::string text;
    };

    RecordingBackend() : LoggerBackend(false, false, 0) {}

    void write(int level, const char* file, int line, const char* text) override {
        records.push_back(Record{level, file, line, text});
    }
    void flush() override { ++flushes; }
    void output(const char*) override {}

    std::vector<Record> records;
    int flushes = 0;
};

}  // namespace testing
}  // namespace kx
