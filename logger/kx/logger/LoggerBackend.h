#pragma once

#include <cstddef>

namespace kx {
namespace common {

// A sink of a Logger: turns one record into one finished line and hands it on. The base `write`
// builds "<timestamp> [<thread>] [<level>] <file> (<line>) : <text>"; subclasses supply
// `output` and `flush`, and may replace `write` and `format`.
// Threads: the owning Logger calls every virtual operation with its lock held, so a sink sees
// one record at a time even when records come from several threads.
class LoggerBackend {
public:
    // `maxLineLength` of 4 or less means no limit.
    LoggerBackend(bool withTimestamp, bool withLocation, int maxLineLength);
    LoggerBackend(const LoggerBackend&) = delete;
    LoggerBackend& operator=(const LoggerBackend&) = delete;

    virtual ~LoggerBackend();

    // Formats one record and passes the finished line to `output`. `file` and `text` are
    // zero-terminated and only read during the call; `level` may be any value.
    virtual void write(int level, const char* file, int line, const char* text);

    // Pushes out anything the sink still holds.
    virtual void flush() = 0;

    // Receives one finished, zero-terminated line; `line` is only valid during the call.
    virtual void output(const char* line) = 0;

    // Writes the line into `buffer` (of `size` bytes, size > 0), cut to fit with its
    // terminating zero. Returns the number of characters written, without the zero.
    virtual int format(char* buffer, std::size_t size, const char* timestamp, unsigned threadId,
                       const char* levelText, const char* location, const char* text);

protected:
    // The six-character text of `level`; blanks for a level without a text of its own.
    const char* GetLevelText(int level) const;

    bool withTimestamp_;
    bool withLocation_;
    int maxLineLength_;
    const char* levelTexts_[3];
};

}  // namespace common
}  // namespace kx
